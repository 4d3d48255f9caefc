#include "platform/telephony/hayes_modem.h"

#include <limits>

#include "platform/telephony/tapi_constants.h"

namespace vltg::platform {
namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
// A longer "line" is noise, not a result code.
constexpr size_t kMaxLine = 256;

constexpr char kResetCommand[] = "ATZ";
constexpr char kSetupCommand[] = "ATE0V1Q0S0=0&C1&D2";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

}  // namespace

HayesModem::HayesModem(HayesHost& host, std::string init_command, Timing timing)
    : host_(host), timing_(timing), deadline_(kNever) {
  init_.push_back(kSetupCommand);
  std::string_view extra = Trim(init_command);
  if (!extra.empty()) init_.push_back(StartsWithNoCase(extra, "AT") ? std::string(extra) : "AT" + std::string(extra));
}

bool HayesModem::ReadsPort() const {
  return state_ != State::kConnected && state_ != State::kStopped && state_ != State::kFailed;
}

void HayesModem::Report(HayesEvent event, uint32_t param, std::string text) {
  host_.Report(HayesReport{event, param, std::move(text)});
}

void HayesModem::Send(std::string_view command, int64_t now, int64_t wait_ms) {
  deadline_ = now + wait_ms;
  if (!host_.Write(std::string(command) + "\r")) Fail("the modem port cannot be written");
}

void HayesModem::Start(int64_t now) {
  partial_.clear();
  host_.PurgeInput();
  BeginInit(false, now);
}

void HayesModem::BeginInit(bool restoring, int64_t now) {
  state_ = restoring ? State::kRestoring : State::kInitialising;
  init_step_ = 0;
  Send(kResetCommand, now, timing_.command_ms);
}

void HayesModem::NextInitCommand(int64_t now) {
  if (init_step_ < init_.size()) {
    Send(init_[init_step_++], now, timing_.command_ms);
    return;
  }
  deadline_ = kNever;
  const bool restoring = state_ == State::kRestoring;
  state_ = State::kIdle;
  if (!restoring) {
    Report(HayesEvent::kReady);
    return;
  }
  if (in_call_) {
    in_call_ = false;
    Report(HayesEvent::kIdle);
  }
  if (drop_pending_) {
    drop_pending_ = false;
    Report(HayesEvent::kDropDone, 0);
  }
}

void HayesModem::InitFailed(const std::string& why) {
  if (state_ == State::kRestoring) {
    // The call is over whatever the modem says; the line is not usable.
    if (in_call_) {
      in_call_ = false;
      Report(HayesEvent::kIdle);
    }
    if (drop_pending_) {
      drop_pending_ = false;
      Report(HayesEvent::kDropDone, static_cast<uint32_t>(LINEERR_OPERATIONFAILED));
    }
  }
  Fail(why);
}

void HayesModem::Fail(const std::string& why) {
  if (state_ == State::kFailed) return;
  state_ = State::kFailed;
  deadline_ = kNever;
  Report(HayesEvent::kFailed, 0, why);
}

void HayesModem::DeviceLost(const std::string& why) { Fail(why); }

void HayesModem::Received(std::string_view bytes, int64_t now) {
  for (char c : bytes) {
    if (!ReadsPort()) {
      partial_.clear();
      return;
    }
    if (c == '\r' || c == '\n') {
      if (!partial_.empty()) {
        const std::string line = std::move(partial_);
        partial_.clear();
        Line(line, now);
      }
      continue;
    }
    if (partial_.size() >= kMaxLine) partial_.clear();
    partial_.push_back(c);
  }
}

HayesModem::Result HayesModem::Classify(std::string_view line, std::string& connect_text) {
  line = Trim(line);
  if (SameNoCase(line, "OK") || line == "0") return Result::kOk;
  if (SameNoCase(line, "ERROR") || line == "4") return Result::kError;
  if (SameNoCase(line, "RING") || line == "2") return Result::kRing;
  if (SameNoCase(line, "NO CARRIER") || line == "3") return Result::kNoCarrier;
  if (SameNoCase(line, "BUSY") || line == "7") return Result::kBusy;
  if (SameNoCase(line, "NO ANSWER") || line == "8") return Result::kNoAnswer;
  if (SameNoCase(line, "NO DIALTONE") || SameNoCase(line, "NO DIAL TONE") || line == "6") return Result::kNoDialtone;
  if (StartsWithNoCase(line, "CONNECT")) {
    connect_text = std::string(Trim(line.substr(7)));
    return Result::kConnect;
  }
  if (line == "1") {
    connect_text.clear();
    return Result::kConnect;
  }
  return Result::kOther;
}

void HayesModem::Line(std::string_view line, int64_t now) {
  std::string connect_text;
  const Result result = Classify(line, connect_text);
  switch (state_) {
    case State::kInitialising:
    case State::kRestoring:
      if (result == Result::kOk) {
        NextInitCommand(now);
      } else if (result == Result::kError) {
        const std::string& command = init_step_ == 0 ? std::string(kResetCommand) : init_[init_step_ - 1];
        InitFailed("the modem refused " + command);
      }
      break;
    case State::kIdle:
      if (result == Result::kRing) {
        state_ = State::kOffered;
        in_call_ = true;
        rings_ = 0;
        deadline_ = now + timing_.ring_gap_ms;
        Report(HayesEvent::kOffering);
        Report(HayesEvent::kRing, rings_++);
      }
      break;
    case State::kOffered:
      if (result == Result::kRing) {
        deadline_ = now + timing_.ring_gap_ms;
        Report(HayesEvent::kRing, rings_++);
      }
      break;
    case State::kRejected:
      if (result == Result::kRing) deadline_ = now + timing_.ring_gap_ms;
      break;
    case State::kAnswering:
      switch (result) {
        case Result::kConnect:
          state_ = State::kConnected;
          deadline_ = kNever;
          partial_.clear();
          Report(HayesEvent::kConnected, 0, connect_text);
          break;
        case Result::kNoCarrier: CallEnded(LINEDISCONNECTMODE_NORMAL, now); break;
        case Result::kBusy: CallEnded(LINEDISCONNECTMODE_BUSY, now); break;
        case Result::kNoAnswer: CallEnded(LINEDISCONNECTMODE_NOANSWER, now); break;
        case Result::kNoDialtone: CallEnded(LINEDISCONNECTMODE_NODIALTONE, now); break;
        case Result::kError: CallEnded(LINEDISCONNECTMODE_UNAVAIL, now); break;
        default: break;  // RING and echo while answering
      }
      break;
    case State::kEscaping:
      if (result == Result::kOk) HangUp(now);
      break;
    case State::kHangingUp:
      if (result == Result::kOk || result == Result::kError) {
        host_.PurgeInput();
        BeginInit(true, now);
      }
      break;
    default: break;
  }
}

void HayesModem::Tick(int64_t now) {
  if (now < deadline_) return;
  switch (state_) {
    case State::kInitialising:
    case State::kRestoring: {
      const std::string& command = init_step_ == 0 ? std::string(kResetCommand) : init_[init_step_ - 1];
      InitFailed("no answer from the modem to " + command);
      break;
    }
    case State::kOffered:
      // The caller gave up before the call was answered.
      deadline_ = kNever;
      state_ = State::kIdle;
      in_call_ = false;
      Report(HayesEvent::kDisconnected, LINEDISCONNECTMODE_NORMAL);
      Report(HayesEvent::kIdle);
      break;
    case State::kRejected:
      deadline_ = kNever;
      state_ = State::kIdle;
      break;
    case State::kAnswering:
      // Any character aborts the answer in progress.
      if (!host_.Write("\r")) {
        Fail("the modem port cannot be written");
        break;
      }
      CallEnded(LINEDISCONNECTMODE_UNAVAIL, now);
      break;
    case State::kDtrLow:
      host_.SetDtr(true);
      host_.PurgeInput();
      BeginInit(true, now);
      break;
    case State::kEscapeGuard:
      state_ = State::kEscaping;
      deadline_ = now + timing_.escape_ms;
      if (!host_.Write("+++")) Fail("the modem port cannot be written");
      break;
    case State::kEscaping:
      HangUp(now);
      break;
    case State::kHangingUp:
      host_.PurgeInput();
      BeginInit(true, now);
      break;
    default:
      deadline_ = kNever;
      break;
  }
}

void HayesModem::HangUp(int64_t now) {
  state_ = State::kHangingUp;
  Send("ATH0", now, timing_.command_ms);
}

void HayesModem::CallEnded(uint32_t mode, int64_t now) {
  Report(HayesEvent::kDisconnected, mode);
  HangUp(now);
}

bool HayesModem::Answer(int64_t now) {
  if (state_ != State::kOffered) return false;
  state_ = State::kAnswering;
  Send("ATA", now, timing_.answer_ms);
  return true;
}

bool HayesModem::Drop(int64_t now) {
  switch (state_) {
    case State::kOffered:
      // Nothing to hang up: the modem never went off hook.
      state_ = State::kRejected;
      deadline_ = now + timing_.ring_gap_ms;
      in_call_ = false;
      Report(HayesEvent::kIdle);
      Report(HayesEvent::kDropDone, 0);
      return true;
    case State::kAnswering:
      drop_pending_ = true;
      if (!host_.Write("\r")) {
        Fail("the modem port cannot be written");
        return true;
      }
      HangUp(now);
      return true;
    case State::kConnected:
      drop_pending_ = true;
      if (host_.SetDtr(false)) {
        state_ = State::kDtrLow;
        deadline_ = now + timing_.dtr_low_ms;
      } else {
        state_ = State::kEscapeGuard;
        deadline_ = now + timing_.guard_ms;
      }
      return true;
    case State::kDtrLow:
    case State::kEscapeGuard:
    case State::kEscaping:
    case State::kHangingUp:
    case State::kRestoring:
      // Already on its way down (the caller hung up, or an earlier drop).
      if (!in_call_) return false;
      drop_pending_ = true;
      return true;
    default: return false;
  }
}

void HayesModem::CarrierLost(int64_t now) {
  if (state_ != State::kConnected) return;
  // With &C1 the modem has gone back to command mode by itself.
  Report(HayesEvent::kDisconnected, LINEDISCONNECTMODE_NORMAL);
  host_.PurgeInput();
  HangUp(now);
}

}  // namespace vltg::platform
