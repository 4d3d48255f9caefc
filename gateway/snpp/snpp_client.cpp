#include "gateway/snpp/snpp_client.h"

#include <algorithm>
#include <exception>

#include "engines/time_counter.h"
#include "gateway/snpp/snpp_parts.h"
#include "gateway/snpp/sock.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

const char kAborted[] = "Call Aborted By User!";
const char kNoRoom[] = "Part Length Leaves No Room For Message Text!";
const std::string kReplyTooLong = "Server Reply Longer Than " + std::to_string(kMaxSnppReplyBytes) + " Bytes";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// CR or LF inside a PIN or message would end the command line early and
// inject the rest as a command of its own.
std::string Blanked(std::string text) {
  std::ranges::replace_if(text, [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

// One part of a page in a connection of its own: greeting, optional 2WAY,
// PAGE, MESS, SEND, then QUIT.
class SnppPartExchange {
 public:
  SnppPartExchange(const SnppTimeouts& timeouts, std::function<bool()> stopped)
      : timeouts_(timeouts), stopped_(std::move(stopped)) {
    sock_.OnInfo = [this](TSock&, TSocketInfo info, const std::string& msg) {
      if (info == siError) socket_error_ = msg;
    };
  }

  bool Run(const std::string& host, const std::string& port, const std::string& pin, const std::string& mess,
           bool two_way, std::string& tags, std::string& reply) {
    Step step = Connect(host, port);
    if (step == kGo) step = Greeting();
    if (step == kGo && two_way) step = TwoWay();
    if (step == kGo) step = Page(pin);
    if (step == kGo) step = Message(mess);
    if (step == kGo) step = Send(tags, reply);
    switch (step) {
      case kGo:
        Quit();
        return true;
      case kFail:
        reply = FailureReply();
        Quit();
        return false;
      case kAbort:
        reply = kAborted;
        Quit();
        return false;
      case kTooLong:
        // Nothing more can be read on this connection: it ends without QUIT.
        reply = kReplyTooLong;
        return false;
    }
    return false;
  }

 private:
  enum Step { kGo, kFail, kAbort, kTooLong };
  enum class WaitEnd { kReply, kExpired, kStopped, kNothing, kTooLong };

  bool Stopped() const { return stopped_ && stopped_(); }

  Step Connect(const std::string& host, const std::string& port) {
    sock_.SetHostName(host);
    sock_.SetPortName(port);
    counter_.FStartValue = timeouts_.connect;
    sock_.Open();
    counter_.Start();
    while (!sock_.GetConnected() && !Stopped() && !counter_.FExpired) {
      platform::ProcessMessages();
      platform::SleepPumping(15);
    }
    counter_.Stop();
    if (Stopped()) return kAbort;
    return counter_.FExpired ? kFail : kGo;
  }

  Step Greeting() {
    counter_.FStartValue = timeouts_.greeting;
    const Step step = Judge(WaitReply(), true);
    if (step != kGo) return step;
    return StartsWith(last_reply_, "22") ? kGo : kFail;
  }

  // A server that does not take two-way mode is paged one-way.
  Step TwoWay() {
    sock_.SendLine("2WAY");
    const Step step = Judge(WaitReply(), false);
    if (step == kGo && StartsWith(last_reply_, "250")) two_way_ = true;
    return step;
  }

  Step Page(const std::string& pin) {
    for (;;) {
      sock_.SendLine("PAGE " + pin);
      const Step step = Judge(WaitReply(), true);
      if (step != kGo) return step;
      if (last_reply_[0] == '4' || (!two_way_ && last_reply_[0] == '5') || StartsWith(last_reply_, "554")) {
        return kFail;
      }
      if (!StartsWith(last_reply_, "550")) return kGo;
      // Two-way refused for this pager: reset and page it again one-way.
      two_way_ = false;
      sock_.SendLine("RESE");
      const Step reset = Judge(WaitReply(), true);
      if (reset != kGo) return reset;
      if (!StartsWith(last_reply_, "250")) return kFail;
    }
  }

  Step Message(const std::string& mess) {
    sock_.SendLine("MESS " + mess);
    const Step step = Judge(WaitReply(), true);
    if (step != kGo) return step;
    return StartsWith(last_reply_, "250") ? kGo : kFail;
  }

  Step Send(std::string& tags, std::string& reply) {
    sock_.SendLine("SEND");
    counter_.FStartValue = timeouts_.send;
    const Step step = Judge(WaitReply(), true);
    if (step != kGo) return step;
    if (!two_way_) {
      if (!StartsWith(last_reply_, "250")) return kFail;
      reply = reply_text_;
      return kGo;
    }
    if (last_reply_[0] == '4' || last_reply_[0] == '5') return kFail;
    reply = StartsWith(last_reply_, "250") ? reply_text_ : SplitSnppTags(last_reply_, tags);
    return kGo;
  }

  // Best effort: a part already decided is never undone by its QUIT.
  void Quit() {
    if (!sock_.GetConnected()) return;
    try {
      sock_.SendLine("QUIT");
      WaitReply();
    } catch (const Exception&) {
    }
  }

  std::string FailureReply() {
    std::string reply = reply_text_;
    // Nothing came because the connection failed: say why.
    if (reply.empty() && !sock_.GetConnected()) reply = socket_error_;
    return reply;
  }

  static Step Judge(WaitEnd end, bool empty_fails) {
    switch (end) {
      case WaitEnd::kStopped:
        return kAbort;
      case WaitEnd::kExpired:
        return kFail;
      case WaitEnd::kNothing:
        return empty_fails ? kFail : kGo;
      case WaitEnd::kReply:
        return kGo;
      case WaitEnd::kTooLong:
        return kTooLong;
    }
    return kFail;
  }

  // Waits for one reply, with the time-out in force. Data after it stays for
  // the next wait; when the server closes, or the time runs out, what it sent
  // until then is the reply.
  WaitEnd WaitReply() {
    last_reply_.clear();
    reply_text_.clear();
    counter_.FExpired = false;
    counter_.Start();
    WaitEnd end;
    for (;;) {
      if (sock_.GetConnected() || sock_.GetBytesAvailable() > 0) pending_ += sock_.Receive();
      if (Stopped()) {
        end = WaitEnd::kStopped;
        break;
      }
      const SnppReply reply = ReadSnppReply(pending_);
      if (reply.status == SnppReply::Status::kComplete) {
        last_reply_ = reply.last_line;
        reply_text_ = reply.text;
        pending_.erase(0, reply.length);
        end = WaitEnd::kReply;
        break;
      }
      if (reply.status == SnppReply::Status::kTooLong) {
        pending_.clear();
        end = WaitEnd::kTooLong;
        break;
      }
      if (counter_.FExpired) {
        TakeUnfinished();
        end = WaitEnd::kExpired;
        break;
      }
      if (!sock_.GetConnected()) {
        TakeUnfinished();
        end = last_reply_.empty() ? WaitEnd::kNothing : WaitEnd::kReply;
        break;
      }
      platform::ProcessMessages();
      platform::SleepPumping(5);
    }
    counter_.Stop();
    return end;
  }

  void TakeUnfinished() {
    last_reply_.swap(pending_);
    pending_.clear();
    reply_text_ = SnppReplyText(last_reply_);
  }

  const SnppTimeouts timeouts_;
  const std::function<bool()> stopped_;
  TTimeCounter counter_;
  TSock sock_;
  std::string pending_;     // received, not yet taken as a reply
  std::string last_reply_;  // the reply of the last wait (its last line)
  std::string reply_text_;  // its text as the result carries it
  std::string socket_error_;
  bool two_way_ = false;
};

}  // namespace

bool SnppClient::SendSnpp(const std::string& HostName, const std::string& PortName, const std::string& PIN,
                          const std::string& Msg, int MaxLen, bool Reverse, bool TwoWay, bool NumericOnly,
                          std::string& Tags, std::string& Reply) {
  Tags.clear();
  try {
    const std::string pin = Blanked(PIN);
    std::string text = Blanked(Msg);
    if (NumericOnly) std::erase_if(text, [](char c) { return c < '0' || c > '9'; });
    if (text.empty()) {
      Reply = NumericOnly ? "No Message To Send, Numeric Only Pager!" : "No Message To Send!";
      return false;
    }
    const SnppParts split = SplitSnppMessage(text, pin.size(), MaxLen);
    if (split.no_room) {
      Reply = kNoRoom;
      return false;
    }
    // The cutting lets the thread's messages through after every cut.
    for (size_t cut = 0; cut < split.parts.size(); ++cut) {
      platform::ProcessMessages();
      platform::SleepPumping(10);
    }
    const size_t n = split.parts.size();
    for (size_t k = 0; k < n; ++k) {
      const size_t i = Reverse ? n - k : k + 1;
      if (Stopped()) {
        Reply = kAborted;
        return false;
      }
      const std::string number = n >= 2 ? "(" + std::to_string(i) + " of " + std::to_string(n) + ")  " : "";
      SnppPartExchange part(timeouts_, stopped_);
      if (!part.Run(HostName, PortName, pin, number + split.parts[i - 1], TwoWay, Tags, Reply)) return false;
      if (n > 1) platform::SleepPumping(part_pause_ms_);
    }
    return true;
  } catch (const std::exception& e) {
    Reply = e.what();
    return false;
  }
}

}  // namespace vltg
