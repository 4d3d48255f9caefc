#include "engines/tap_session.h"

#include <exception>

#include "engines/tap_chars.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

using namespace tap;
using namespace std::string_literals;

const std::string kCRLF{CR, LF};
const std::string kOnlyCR{CR};  // ReadUntil's terminator list
constexpr int32_t kCallerWindow = 10;  // first CR, logon line, automatic blocks
constexpr int32_t kTypistWindow = 20;  // password and every manual-mode line
constexpr int kMaxErrors = 3;
const std::string kEtapMarker = ")#*&(";

std::string UpToFirstCR(const std::string& text) { return text.substr(0, text.find(CR)); }

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

// The characters after the first `letter` up to and including the first "+"
// or "-" (or to the end); empty when the letter is missing.
std::string EtapTimeText(const std::string& options, char letter) {
  const size_t at = options.find(letter);
  if (at == std::string::npos) return "";
  const std::string after = options.substr(at + 1);
  const size_t sign = after.find_first_of("+-");
  return sign == std::string::npos ? after : after.substr(0, sign + 1);
}

}  // namespace

// One run of the dialogue: its state and one method per step. Each step
// returns the step that follows.
class TTapSession::TDialogue {
 public:
  TDialogue(TTapSession& engine, TTapPort& port) : engine_(engine), port_(port) {}

  void Run() {
    Step step = Start();
    while (step != Step::kEnd) step = Perform(step);
  }

 private:
  enum class Step {
    kWaitForCaller,
    kLogonLine,
    kPassword,
    kLogonAccepted,
    kGoAhead,
    kReadBlock,
    kFraming,
    kPin,
    kMessageText,
    kPageComplete,
    kSubmit,
    kEnd,
  };

  Step Perform(Step step) {
    switch (step) {
      case Step::kWaitForCaller: return WaitForCaller();
      case Step::kLogonLine: return LogonLine();
      case Step::kPassword: return Password();
      case Step::kLogonAccepted: return LogonAccepted();
      case Step::kGoAhead: return GoAhead();
      case Step::kReadBlock: return ReadOneBlock();
      case Step::kFraming: return Framing();
      case Step::kPin: return Pin();
      case Step::kMessageText: return MessageText();
      case Step::kPageComplete: return PageComplete();
      case Step::kSubmit: return Submit();
      case Step::kEnd: break;
    }
    return Step::kEnd;
  }

  // ---- the steps ----

  Step Start() {
    if (engine_.GetDeviceDirectAccess()) {
      Report("Direct Access Port COM" + std::to_string(engine_.GetComPort()) + " Open!");
    }
    return Step::kWaitForCaller;
  }

  // Any CR from the caller starts the logon. A direct port keeps waiting for
  // a caller; an answered call that stays silent is dropped.
  Step WaitForCaller() {
    if (!engine_.GetWaitForCall()) return Step::kEnd;
    try {
      Sleep(5);
      port_.FlushInput();
      std::string line;
      const bool got_cr = port_.ReadUntil(kOnlyCR, line, kCallerWindow) == 0;
      if (!engine_.FCommAttached || !engine_.GetWaitForCall()) return Step::kEnd;
      if (!got_cr) {
        Sleep(5);
        if (DirectAccess()) return Step::kWaitForCaller;
        port_.DropCall();
        return Step::kEnd;
      }
    } catch (const std::exception&) {
      // The step repeats, but never on a port that is gone.
      if (!engine_.FCommAttached || !engine_.GetWaitForCall()) return Step::kEnd;
      return Step::kWaitForCaller;
    }
    Send("ID="s);
    errors_ = 0;
    manual_ = false;  // each caller chooses anew
    logon_.clear();
    return Step::kLogonLine;
  }

  // "M" chooses the manual dialogue; otherwise the line after its first
  // character must begin with "PG1" (or ESC "PG1"), the password following.
  Step LogonLine() {
    const std::string no_logon = "Terminal Disconnect"s + CR + ESC + EOT;
    const std::string resend = "Please Resend Login"s + CR + NAK + CR;
    const std::string too_many = "Terminal Disconnect - To Many Login Errors"s + CR + ESC + EOT;

    if (!AttachedCheck()) return Step::kEnd;
    std::string line;
    if (!ReadLine(kCallerWindow, line)) {
      Send(no_logon);
      Sleep(1000);
      return EndTheCall();
    }
    if (line[0] == 'M' || line[0] == 'm') {
      manual_ = true;
      const std::string& header = engine_.GetManualEntryHeader();
      if (!header.empty()) Send(kCRLF + kCRLF + header + kCRLF + kCRLF);
      return Step::kPassword;
    }
    std::string rest = line.substr(1);
    Sleep(2);
    for (const std::string& prefix : {ESC + "PG1"s, "PG1"s}) {
      if (rest.starts_with(prefix)) {
        logon_ = rest.substr(prefix.size());
        return Step::kPassword;
      }
    }
    if (engine_.OnNoPageLogin) {
      engine_.OnNoPageLogin(engine_, rest);
      return DirectAccess() ? Step::kWaitForCaller : Step::kEnd;
    }
    Send(resend);
    if (++errors_ >= kMaxErrors) {
      Send(too_many);
      Sleep(1000);
      Report("Disconnected - To Many Login Errors");
      return EndTheCall();
    }
    return Step::kLogonLine;
  }

  // The automatic logon carries the password on its line; a typist is asked.
  Step Password() {
    const std::string prompt = kCRLF + "Enter System Password, then RETURN. ";
    const std::string wrong = manual_ ? kCRLF + "Invalid Logon Password" : "Invalid Logon Password"s + CR + NAK + CR;
    const std::string too_many = "Terminal Disconnect - To Many Errors"s + CR + ESC + EOT;

    if (engine_.GetTapPassword().empty()) return Step::kLogonAccepted;
    std::string line = logon_;
    if (manual_) {
      Send(prompt);
      if (!ReadLine(kTypistWindow, line)) return Farewell();
    }
    const std::string password = UpToFirstCR(line);
    if (password == engine_.GetTapPassword()) return Step::kLogonAccepted;

    Report("Envalid Password Entered! - " + password);
    Sleep(1);
    Send(wrong);
    if (++errors_ >= kMaxErrors) {
      Report("Disconnected - To Many Login Errors \"" + password + "\"");
      Send(manual_ ? FarewellText() : too_many);
      Sleep(1000);
      return EndTheCall();
    }
    return manual_ ? Step::kPassword : Step::kLogonLine;
  }

  Step LogonAccepted() {
    const std::string accepted = manual_ ? kCRLF : "Processing - Please Wait"s + CR + ACK + CR;

    Sleep(2);
    if (!AttachedCheck()) return Step::kEnd;
    errors_ = 0;
    port_.FlushInput();
    Send(accepted);
    Report("Logon Accepted");
    Sleep(500);
    return Step::kGoAhead;
  }

  // The start of every page.
  Step GoAhead() {
    const std::string prompt = !manual_ ? ESC + "[p"s + CR
                               : Hark() ? kCRLF + "Enter the Pager ID, then RETURN. "
                                        : "Enter pager ID(s):" + kCRLF;

    if (!AttachedCheck()) return Step::kEnd;
    Sleep(2);
    Send(prompt);
    message_.clear();
    id_.clear();
    first_field_ = true;
    last_block_ = false;
    return Step::kReadBlock;
  }

  // A block from a TAP caller, or a typed line (which is the whole page part).
  Step ReadOneBlock() {
    const std::string aborted = manual_ ? kCRLF + "Transaction Aborted - To Many Errors"
                                        : "Transaction Aborted - To Many Errors"s + CR + ESC + EOT;

    if (!AttachedCheck()) return Step::kEnd;
    Sleep(500);
    block_.clear();
    if (manual_) {
      if (!ReadLine(kTypistWindow, block_)) return Farewell();
      last_block_ = true;
    } else {
      port_.ReadBlock(kCallerWindow, block_);
    }
    if (block_.empty()) {
      if (++errors_ >= kMaxErrors) {
        Report("Disconnected - To Many Errors");
        Send(aborted);
        Sleep(500);
        return EndTheCall();
      }
      return Step::kGoAhead;
    }
    if (block_[0] == CR) return manual_ ? Step::kPassword : Step::kLogonLine;
    errors_ = 0;
    return manual_ ? Step::kPin : Step::kFraming;
  }

  // Checks the block's start and checksum and strips it to its fields.
  Step Framing() {
    const std::string no_stx = "Message Rejected - STX or EOT Expected"s + CR + NAK + CR;
    const std::string good_bye = "Terminal Disconnect - Good Bye"s + CR + ESC + EOT;
    const std::string bad_checksum = "Message Rejected - Checksum Error"s + CR + NAK + CR;

    const char first = block_[0];
    if (first != STX && first != EOT && first != ESC) {
      ++errors_;
      Send(no_stx);
      return Step::kGoAhead;
    }
    if (first == EOT || block_.starts_with(std::string{ESC, EOT})) {
      Report("Disconnected - Transactions Completed");
      Send(good_bye);
      Sleep(1000);
      return EndTheCall();
    }
    // Cut at US, then ETB, then ETX, each searched in what followed the
    // previous cut; the caller's checksum follows the block end.
    std::string block = block_, left = block_, rest;
    for (const char end : {US, ETB, ETX}) {
      const size_t at = left.find(end);
      if (at == std::string::npos) continue;
      block = left.substr(0, at + 1);
      rest = left = left.substr(at + 1);
      if (end == ETX) last_block_ = true;
    }
    const bool checksum_ok = TapChecksum(block) == rest.substr(0, 3);
    if (!AttachedCheck()) return Step::kEnd;
    if (!checksum_ok) {
      ++errors_;
      Send(bad_checksum);
      return Step::kGoAhead;
    }
    block_ = block.substr(1);
    return Step::kPin;
  }

  // The first field of a page is the pager identification number.
  Step Pin() {
    const std::string refused = "Message Rejected - Not A Valid Pin On The System"s + RS + CR;
    const std::string hark_refused = kCRLF + "Page Rejected - Not A Valid Pin On The System" + kCRLF;

    if (!first_field_) return Step::kMessageText;
    if (!AttachedCheck()) return Step::kEnd;
    const size_t cr = block_.find(CR);
    pin_ = cr == std::string::npos ? "" : block_.substr(0, cr);
    block_.erase(0, cr == std::string::npos ? 0 : cr + 1);
    first_field_ = false;
    Report("Verifing Account");
    bool accept = true;
    if (engine_.OnAccountVerify) engine_.OnAccountVerify(engine_, pin_, accept);
    if (accept) return Step::kMessageText;

    Report("Envalid Pin Entered - " + pin_);
    if (!manual_ || Hark()) {
      Send(manual_ ? hark_refused : refused);
      Sleep(500);
      return Step::kGoAhead;
    }
    Send(RecordNotFound());
    if (!MorePages()) return GoodBye();
    Sleep(500);
    return Step::kGoAhead;
  }

  // Adds the block's text to the message, or asks the typist for it.
  Step MessageText() {
    const std::string hark_prompt = kCRLF + "Enter the Message, then RETURN. ";
    const std::string glenair_prompt = kCRLF + "Enter Alphanumeric Message:" + kCRLF;
    const std::string too_long =
        manual_ ? kCRLF + "Massage Rejected - Message To Long!" : "Massage Rejected - Message To Long!"s + CR + RS + CR;
    const std::string more = "Message Submitted For Processing"s + CR + ACK + CR;

    if (!AttachedCheck()) return Step::kEnd;
    if (manual_) {
      Send(Hark() ? hark_prompt : glenair_prompt);
      std::string line;
      if (!ReadLine(kTypistWindow, line)) return Farewell();
      message_ = UpToFirstCR(line);
    } else {
      const size_t first_cr = block_.find(CR);
      if (first_cr != std::string::npos) message_ += block_.substr(0, first_cr);
      // A field that goes on in the next block: keep what this block holds of it.
      if (block_.ends_with(US)) {
        const size_t last_cr = block_.rfind(CR);
        const size_t from = last_cr == std::string::npos ? 0 : last_cr + 1;
        message_ += block_.substr(from, block_.size() - 1 - from);
      }
    }
    Report("Block Received");

    const int32_t limit = engine_.GetMaxMsgLength();
    if (limit > 0 && message_.size() > static_cast<size_t>(limit)) {
      if (engine_.GetTurncateMsgs()) {
        message_.resize(limit);
      } else {
        Report("Msg. Message Rejected (To Long) - " + pin_ + "," + message_);
        Send(too_long);
        Sleep(500);
        return Step::kGoAhead;
      }
    }
    if (last_block_) return Step::kPageComplete;
    try {
      Send(more);
    } catch (const std::exception&) {
      port_.DropCall();
      return Step::kEnd;
    }
    return Step::kReadBlock;
  }

  // Cleans the message and handles ETAP options after the marker.
  Step PageComplete() {
    Sleep(2);
    if (!AttachedCheck()) return Step::kEnd;
    std::erase(message_, LF);
    std::erase(message_, CR);
    engine_.FHoldTime.clear();
    engine_.FExpireTime.clear();
    const size_t marker = message_.find(kEtapMarker);
    if (marker == std::string::npos) return Step::kSubmit;
    const std::string options = message_.substr(marker + kEtapMarker.size());
    message_.resize(marker);
    if (!engine_.GetETAP()) return Step::kSubmit;

    if (Has(options, 'D')) {
      return EtapDataRequest(After(options, 'D'), engine_.ETAPDelete, false, "ETAP Delete OK - ", "ETAP Delete Failed - ");
    }
    if (Has(options, 'Q')) {
      return EtapDataRequest(After(options, 'Q'), engine_.ETAPConfirm, true, "ETAP Query OK - ", "ETAP Query Failed - ");
    }
    // "C" is accepted and changes nothing.
    if (Has(options, 'V')) engine_.FExpireTime = EtapTimeText(options, 'V');
    if (Has(options, 'S')) engine_.FHoldTime = EtapTimeText(options, 'S');
    if (Has(options, 'R')) {
      return EtapMessageRequest(After(options, 'R'), engine_.ETAPReplace, false, true, "ETAP Msg. Replace OK - ",
                                "ETAP Msg. Replace Failed - ");
    }
    if (Has(options, 'U')) {
      return EtapMessageRequest(After(options, 'U'), engine_.ETAPUpdate, true, false, "ETAP Msg. Update OK - ",
                                "ETAP Msg. Update Failed - ");
    }
    return Step::kSubmit;
  }

  // D (delete) and Q (query) of an earlier page: nothing is submitted.
  Step EtapDataRequest(const std::string& id, const TETAPDataEvent& event, bool completed, const std::string& ok,
                       const std::string& failed) {
    id_ = id;
    std::string data;
    if (event) event(engine_, pin_, id_, data, completed);
    EtapAnswer(completed, completed ? ok : failed, data);
    return Step::kGoAhead;
  }

  // R (replace) and U (update): the page number leads the option's text.
  Step EtapMessageRequest(const std::string& text, const TETAPUpdateEvent& event, bool completed, bool replace,
                          const std::string& ok, const std::string& failed) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    id_ = text.substr(0, digits);
    std::string data;
    engine_.FExpireTime = Trimmed(engine_.FExpireTime);
    engine_.FHoldTime = Trimmed(engine_.FHoldTime);
    if (event) {
      event(engine_, pin_, id_, data, message_, engine_.FExpireTime, engine_.FHoldTime, completed, replace);
    } else {
      id_ = "replace failed - schedule option not allowed";
    }
    EtapAnswer(completed, completed ? ok : failed, data);
    return Step::kGoAhead;
  }

  void EtapAnswer(bool completed, const std::string& report, const std::string& data) {
    Report(report + id_ + ", " + data);
    Send("Message " + id_ + " " + data + (completed ? ""s + CR + ACK + CR : ""s + CR + RS + CR));
    errors_ = 0;
  }

  // Hands the page to the owner and answers the caller with its verdict.
  Step Submit() {
    const std::string accepted = "Message Submitted For Processing"s + CR + ACK + CR;
    const std::string hark_accepted = kCRLF + "Thank You. Page(s) Sent" + kCRLF + kCRLF + "Hangup now, or ";
    const std::string refused = "Message Processing Error - Page Canceled!"s + CR + RS + CR;
    const std::string hark_refused = kCRLF + "Page Rejected." + kCRLF;

    Sleep(2);
    bool submitted = true;
    id_.clear();
    if (!AttachedCheck()) return Step::kEnd;
    if (engine_.OnMsgReceived) {
      try {
        engine_.OnMsgReceived(engine_, pin_, message_, id_, engine_.FHoldTime, engine_.FExpireTime, submitted);
      } catch (...) {
        port_.DropCall();
        return Step::kEnd;
      }
    }
    if (submitted) {
      Report("Msg. Submitted For Processing - " + pin_ + "," + message_);
      if (engine_.GetETAP()) {
        Send("Message " + id_ + CR + ACK + CR);
      } else if (!manual_) {
        Send(accepted);
      } else if (Hark()) {
        Send(hark_accepted);
      } else {
        Send(kCRLF + "More Pages?" + kCRLF);
        if (!MorePages()) return GoodBye();
      }
    } else {
      Report("Msg. Processing Error - " + pin_ + "," + message_);
      if (!manual_) {
        Send(refused);
      } else if (Hark()) {
        Send(hark_refused);
      } else {
        Send(kCRLF + RecordNotFound());
        if (!MorePages()) return GoodBye();
        Send(kCRLF);
      }
    }
    errors_ = 0;
    return Step::kGoAhead;
  }

  // ---- shared pieces of the steps ----

  bool DirectAccess() const { return engine_.GetDeviceDirectAccess(); }
  bool Hark() const { return engine_.GetManualEntryType() == metHark; }

  void Report(const std::string& text) {
    if (engine_.OnTapiProgress) engine_.OnTapiProgress(engine_, text);
  }
  void Send(const std::string& text) { port_.SendString(text); }
  static void Sleep(int64_t ms) { platform::SleepPumping(ms); }

  // A line ended by CR within the window.
  bool ReadLine(int32_t seconds, std::string& line) {
    return port_.ReadUntil(kOnlyCR, line, seconds) == 0 && !line.empty();
  }

  // The call is gone: drop what is left of it and stop.
  bool AttachedCheck() {
    if (engine_.FCommAttached) return true;
    port_.DropCall();
    return false;
  }

  // A direct port goes back to waiting for the next caller.
  Step EndTheCall() {
    if (DirectAccess()) return Step::kWaitForCaller;
    port_.DropCall();
    return Step::kEnd;
  }

  std::string FarewellText() const { return Hark() ? kCRLF + "Terminal Disconnect" : "Good Bye" + kCRLF; }
  Step Farewell() {
    Send(FarewellText());
    Sleep(1000);
    return EndTheCall();
  }
  Step GoodBye() {
    Send("Good Bye" + kCRLF);
    Sleep(1000);
    return EndTheCall();
  }

  std::string RecordNotFound() const { return "Record not found for ID: " + pin_ + kCRLF + "More Pages?" + kCRLF; }

  // The Glenair typist's answer to "More Pages?": true for Y or y.
  bool MorePages() {
    std::string answer;
    return ReadLine(kTypistWindow, answer) && (answer[0] == 'Y' || answer[0] == 'y');
  }

  static bool Has(const std::string& text, char letter) { return text.find(letter) != std::string::npos; }
  static std::string After(const std::string& text, char letter) { return text.substr(text.find(letter) + 1); }

  TTapSession& engine_;
  TTapPort& port_;
  bool manual_ = false;
  int errors_ = 0;  // shared by the logon, password and block stages
  std::string logon_;  // the logon line after its "PG1"
  std::string block_;
  std::string pin_;
  std::string message_;
  std::string id_;
  bool first_field_ = true;
  bool last_block_ = false;
};

void TTapSession::RunTapSession() {
  try {
    TDialogue(*this, FPort).Run();
  } catch (...) {
    // Ends at once, without an answer. An answered call is dropped rather than
    // left connected with nobody reading it.
    if (!GetDeviceDirectAccess()) {
      try {
        FPort.DropCall();
      } catch (...) {
      }
    }
  }
}

std::string TTapSession::TapChecksum(const std::string& Block) {
  unsigned sum = 0;
  for (char c : Block) {
    if (c == '\0') break;
    sum += static_cast<unsigned char>(c);
  }
  return {static_cast<char>('0' + ((sum >> 8) & 0xF)), static_cast<char>('0' + ((sum >> 4) & 0xF)),
          static_cast<char>('0' + (sum & 0xF))};
}

}  // namespace vltg
