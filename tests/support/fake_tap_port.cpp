#include "tests/support/fake_tap_port.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engines/tap_chars.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"

namespace vltg {

void FakeTapPort::Connect(TTapSession& engine) {
  engine_ = &engine;
  engine.FCommAttached = true;
  connected_at_ = platform::NowMs();
}

FakeTapPort& FakeTapPort::Add(Trigger trigger, Action action, std::string text, std::string bytes, int64_t delay_ms,
                              int64_t latest_ms) {
  Step step;
  step.trigger = trigger;
  step.action = action;
  step.text = std::move(text);
  step.bytes = std::move(bytes);
  step.delay_ms = delay_ms;
  step.latest_ms = latest_ms;
  steps_.push_back(std::move(step));
  return *this;
}

FakeTapPort& FakeTapPort::Then(std::string bytes, int64_t delay_ms) {
  return Add(Trigger::kPrevious, Action::kBytes, "", std::move(bytes), delay_ms);
}

FakeTapPort& FakeTapPort::When(std::string gateway_text, std::string bytes, int64_t delay_ms) {
  return Add(Trigger::kText, Action::kBytes, std::move(gateway_text), std::move(bytes), delay_ms);
}

FakeTapPort& FakeTapPort::AfterAnySend(std::string bytes, int64_t latest_ms, int64_t delay_ms) {
  return Add(Trigger::kAnySend, Action::kBytes, "", std::move(bytes), delay_ms, latest_ms);
}

FakeTapPort& FakeTapPort::HangUpWhen(std::string gateway_text) {
  return Add(Trigger::kText, Action::kHangUp, std::move(gateway_text), "", 0);
}

FakeTapPort& FakeTapPort::StopAnsweringAfter(int64_t delay_ms) {
  return Add(Trigger::kPrevious, Action::kStopAnswering, "", "", delay_ms);
}

FakeTapPort& FakeTapPort::HangUpWhenDone() {
  hang_up_when_done_ = true;
  return *this;
}

int64_t FakeTapPort::TimeOfOutputByte(size_t offset) const {
  size_t end = 0;
  for (const Event& e : events_) {
    if (!e.from_gateway) continue;
    end += e.bytes.size();
    if (offset < end) return e.at_ms;
  }
  return platform::NowMs();
}

void FakeTapPort::Advance() {
  const int64_t now = platform::NowMs();
  while (delivered_ < steps_.size()) {
    Step& step = steps_[delivered_];
    const int64_t base_at = delivered_ == 0 ? connected_at_ : steps_[delivered_ - 1].delivered_at;
    const size_t base_event = delivered_ == 0 ? 0 : steps_[delivered_ - 1].event_end;
    if (step.due < 0) {
      switch (step.trigger) {
        case Trigger::kPrevious:
          step.due = base_at + step.delay_ms;
          break;
        case Trigger::kText: {
          const size_t at = output_.find(step.text, search_from_);
          if (at == std::string::npos) return;
          search_from_ = at + step.text.size();
          step.due = std::max(base_at, TimeOfOutputByte(search_from_ - 1)) + step.delay_ms;
          break;
        }
        case Trigger::kAnySend: {
          int64_t trigger_at = base_at + step.latest_ms;
          for (size_t i = base_event; i < events_.size(); ++i) {
            if (events_[i].from_gateway && !events_[i].bytes.empty()) {
              trigger_at = std::min(trigger_at, events_[i].at_ms);
              break;
            }
          }
          if (trigger_at > now) return;
          step.due = trigger_at + step.delay_ms;
          break;
        }
      }
    }
    if (step.due > now) return;
    switch (step.action) {
      case Action::kBytes:
        waiting_ += step.bytes;
        events_.push_back({now, false, step.bytes, ""});
        break;
      case Action::kHangUp:
        events_.push_back({now, false, "", "hangs up"});
        if (engine_) engine_->FCommAttached = false;
        break;
      case Action::kStopAnswering:
        events_.push_back({now, false, "", "answering switched off"});
        if (engine_) engine_->SetWaitForCall(false);
        break;
    }
    step.delivered_at = now;
    step.event_end = events_.size();
    ++delivered_;
  }
  if (hang_up_when_done_ && waiting_.empty() && engine_ && engine_->FCommAttached) {
    events_.push_back({now, false, "", "hangs up"});
    engine_->FCommAttached = false;
  }
}

void FakeTapPort::Guard() const {
  if (abort_at_ms_ > 0 && platform::NowMs() > abort_at_ms_) {
    std::fprintf(stderr, "TAP dialogue still running at %lld ms:\n%s\n", static_cast<long long>(platform::NowMs()),
                 Transcript().c_str());
    std::abort();
  }
}

std::string FakeTapPort::ReadWaiting() {
  Guard();
  Advance();
  std::string bytes;
  bytes.swap(waiting_);
  return bytes;
}

bool FakeTapPort::InputOpen() const { return engine_ && engine_->FCommAttached; }

void FakeTapPort::AwaitInput() {
  Guard();
  Advance();
  if (!waiting_.empty() || !InputOpen()) return;
  const int64_t due = NextDue();
  platform::WaitMessage(due < 0 ? -1 : std::max<int64_t>(due - platform::NowMs(), 0));
}

int64_t FakeTapPort::NextDue() const {
  if (delivered_ >= steps_.size()) return -1;
  const Step& step = steps_[delivered_];
  if (step.due >= 0) return step.due;
  if (step.trigger != Trigger::kAnySend) return -1;
  // Not yet armed: no send since the previous step, so the latest time holds.
  const int64_t base_at = delivered_ == 0 ? connected_at_ : steps_[delivered_ - 1].delivered_at;
  return base_at + step.latest_ms;
}

void FakeTapPort::FlushInput() {
  Guard();
  Advance();
  if (failing_flushes_ > 0) {
    --failing_flushes_;
    throw Exception("Error reading from com port.");
  }
  waiting_.clear();
}

bool FakeTapPort::SendString(const std::string& Text) {
  Guard();
  if (!InputOpen()) return false;
  output_ += Text;
  events_.push_back({platform::NowMs(), true, Text, ""});
  Advance();
  return true;
}

int32_t FakeTapPort::ReadUntil(const std::string& Terminators, std::string& Line, int32_t Seconds) {
  return TapReadUntil(*this, Terminators, Line, Seconds);
}

void FakeTapPort::ReadBlock(int32_t Seconds, std::string& Text) { TapReadBlock(*this, Seconds, Text); }

void FakeTapPort::DropCall() {
  ++drops_;
  events_.push_back({platform::NowMs(), true, "", "drops the call"});
  if (engine_) engine_->FCommAttached = false;
}

std::string FakeTapPort::Sent() const { return output_; }

int64_t FakeTapPort::SentAt(const std::string& text, int64_t from_ms) const {
  for (const Event& e : events_) {
    if (e.from_gateway && e.at_ms >= from_ms && e.bytes.find(text) != std::string::npos) return e.at_ms;
  }
  return -1;
}

std::string FakeTapPort::Transcript() const {
  std::string out;
  for (const Event& e : events_) {
    out += std::to_string(e.at_ms) + (e.from_gateway ? " gateway " : " caller  ");
    out += e.note.empty() ? Visible(e.bytes) : "(" + e.note + ")";
    out += "\n";
  }
  return out;
}

std::string Visible(const std::string& bytes) {
  static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT", "LF",
                                         "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                         "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32) {
      out += "<" + std::string(kNames[byte]) + ">";
    } else if (byte == '<' || byte >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::string CallerBlock(const std::string& text, char end) {
  const std::string block = tap::STX + text + end;
  return block + TTapSession::TapChecksum(block) + tap::CR;
}

}  // namespace vltg
