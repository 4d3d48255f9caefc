// The TAP engine's telephony line: initialisation and the line table claim,
// modem configuration files, opening and checking the line, ending a call
// and closing the line.
#include <exception>
#include <filesystem>
#include <optional>

#include "datafiles/modem_config_file.h"
#include "engines/inbound_line_check.h"
#include "engines/kyr_tap.h"
#include "engines/tap_line_table.h"
#include "engines/tapi_line.h"
#include "platform/base/exception.h"
#include "platform/base/whole_file.h"
#include "platform/messages/message_queue.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg {
namespace {

using namespace platform;

// The name the engine's line application is known by.
constexpr char kApplicationName[] = "vltg";

}  // namespace

void TKYRTap::InitializeLine() {
  if (FLineAppReady) ShutdownLineApp();
  SleepPumping(100);
  if (GetDeviceDirectAccess()) return;

  if (!TTapLineTable::ValidInstance(FLineInstance)) {
    if (FShowErrorDialog) {
      ShowError("Invalid Line ID");
      return;
    }
    throw Exception("TAPILine: Invalid Line ID");
  }
  if (!TTapLineTable::Claim(FLineInstance, this)) {
    throw Exception("TAPILine" + std::to_string(FLineInstance) + " component already exists in this process.");
  }
  FClaimedInstance = FLineInstance;
  if (FLineInstance == 2) Error(" TapiLine=" + std::to_string(reinterpret_cast<uintptr_t>(this)));

  // The entry is not held by an engine without a line application.
  const auto release = [this] {
    TTapLineTable::Release(FClaimedInstance, this);
    FClaimedInstance = -1;
  };
  int32_t result = 0;
  try {
    result = lineInitialize(&FLineApp, TTapLineTable::Callback(FLineInstance), kApplicationName, &FNumDevs);
  } catch (...) {  // telephony.ini that cannot be read
    release();
    throw;
  }
  if (result < 0) {
    release();
    CheckLineResult(result);
  }
  SleepPumping(100);
  FAPIVersion = 0;
  if (FNumDevs == 0) {
    ShowError("There is no modem installed in your PC.\r\nYou should install it via Control panel | Modems | Add.");
  }
  FLineAppReady = true;
}

void TKYRTap::ShutdownLineApp() {
  if (!FLineAppReady) return;
  const int32_t result = lineShutdown(FLineApp);
  FLineAppReady = false;
  FLineOpen = false;
  TTapLineTable::Release(FClaimedInstance, this);
  FClaimedInstance = -1;
  CheckLineResult(result);
}

bool TKYRTap::LoadModemConfig(const std::string& Path, uint32_t DeviceID) {
  std::optional<std::string> block;
  try {
    block = ReadModemConfigFile(Path);
  } catch (const EFileError& e) {
    Error(e.Message());  // says why the port's own settings are not used
    return false;
  }
  if (!block) return false;
  return lineSetDevConfig(DeviceID, block->data(), static_cast<uint32_t>(block->size()), kDeviceClassDataModem) >= 0;
}

uint32_t TKYRTap::NegotiateAPIVersion(uint32_t DeviceID) {
  return NegotiateLineVersion(FLineApp, DeviceID, TAPI_VERSION_1_4, TAPI_VERSION_1_4);
}

int32_t TKYRTap::CheckInboundLine(uint32_t DeviceID) {
  auto refuse = [this](const TInboundLineVerdict& verdict) {
    ShowError(verdict.Text);
    Error(verdict.Text);
    return verdict.Code;
  };
  const uint32_t version = NegotiateAPIVersion(DeviceID);
  if (version == 0) return 1;
  LINEDEVCAPS caps;
  CheckLineResult(lineGetDevCaps(FLineApp, DeviceID, version, 0, &caps));
  if (const auto verdict = CheckInboundCaps(caps); verdict.Code != 0) return refuse(verdict);

  HLINE trial = 0;
  const int32_t opened =
      lineOpen(FLineApp, DeviceID, &trial, version, 0, 0, LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_DATAMODEM);
  if (opened == LINEERR_ALLOCATED) return refuse(InboundLineAllocated());
  CheckLineResult(opened);
  struct CloseTrial {
    HLINE line;
    ~CloseTrial() { lineClose(line); }
  } close_trial{trial};
  LINEADDRESSSTATUS status;
  CheckLineResult(lineGetAddressStatus(trial, 0, &status));
  if (const auto verdict = CheckInboundAddress(status); verdict.Code != 0) return refuse(verdict);
  return 0;
}

void TKYRTap::OpenLine() {
  if (GetDeviceDirectAccess()) {
    OpenDirectLine();
    return;
  }
  std::error_code ignored;
  if (std::filesystem::exists(FModemAltConfig, ignored)) {
    if (!LoadModemConfig(FModemAltConfig, FDevIdToInitialize)) LoadModemConfig(FModemSysConfig, FDevIdToInitialize);
  } else {
    LoadModemConfig(FModemSysConfig, FDevIdToInitialize);
  }
  if (FDevIdToInitialize == kNoDevice) throw Exception("TAPILine: You must select TAPI compatible line");
  if (CheckInboundLine(FDevIdToInitialize) != 0) return;

  LINEDEVCAPS caps;
  CheckLineResult(lineGetDevCaps(FLineApp, FDevIdToInitialize, NegotiateAPIVersion(FDevIdToInitialize), 0, &caps));
  CheckLineResult(
      lineNegotiateAPIVersion(FLineApp, FDevIdToInitialize, TAPI_VERSION_1_4, TAPI_VERSION_2_0, &FAPIVersion));
  const uint32_t privileges =
      FWaitForCall ? LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR : LINECALLPRIVILEGE_NONE;
  CheckLineResult(
      lineOpen(FLineApp, FDevIdToInitialize, &FLine, FAPIVersion, 0, 0, privileges, LINEMEDIAMODE_DATAMODEM));
  FLineOpen = true;
  CheckLineResult(lineSetNumRings(FLine, 0, 3));
  CheckLineResult(lineSetStatusMessages(FLine, LINEDEVSTATE_RINGING, 0));
  FDropping = false;
  FCallOffered = false;
  Raise(OnOpen);
}

void TKYRTap::DropCall() {
  FCommAttached = false;
  FDropping = true;
  ProcessMessages();
  if (FCallHandle != 0) {
    FDropRequest = lineDrop(FCallHandle);
    FCallHandle = 0;
  }
  try {
    Raise(OnDropCall);
  } catch (...) {
  }
  // A direct port is closed before answering starts again, and never under a
  // running worker; on the worker itself, its own loop opens the port again.
  const bool direct = GetDeviceDirectAccess();
  const bool worker = OnDirectAccessThread();
  if (direct && (worker || !DirectAccessRunning())) CloseCommHandle();
  if (FWaitForCall && !(direct && worker)) Rearm();
}

// A line that cannot be opened again (the modem refuses its initialisation,
// the device is gone or held) is reported once, as a failing notification
// would be, and tried again with a growing pause until it serves again (its
// OnOpen says so) or answering is switched off.
void TKYRTap::Rearm() {
  SetWaitForCall(false);
  ProcessMessages();
  SleepPumping(TRetryPause::kFirstMs);
  std::string failure;
  try {
    SetWaitForCall(true);
  } catch (const std::exception& e) {
    failure = "Line Exception: " + std::string(e.what());
  }
  // Nothing is let through once the line is open again: the re-arm runs
  // inside the notification that ended the call, so a call offered on the
  // new line now would be discarded as arriving during it. It waits until
  // that notification is over.
  if (GetDeviceDirectAccess() || !FWaitForCall || FLineOpen) return;
  if (!failure.empty()) Error(failure);  // a refused line check has said why already
  FRearmTimer.SetInterval(FRearmPause.First());
  FRearmTimer.SetEnabled(true);
}

void TKYRTap::RetryRearm() {
  if (FInCallback) return;  // the next tick
  FRearmTimer.SetEnabled(false);
  if (!FWaitForCall || FLineOpen || GetDeviceDirectAccess()) return;
  FQuietErrors = true;
  try {
    OpenLine();
  } catch (const std::exception&) {
  }
  FQuietErrors = false;
  if (FLineOpen) return;
  FRearmTimer.SetInterval(FRearmPause.Next());
  FRearmTimer.SetEnabled(true);
}

void TKYRTap::CloseLine() {
  ProcessMessages();
  // Writes finish (or time out) before they return, so there is nothing
  // pending to abort: closing is enough.
  if (FComm.IsOpen()) {
    CloseCommHandle();
    ProcessMessages();
  }
  if (!GetDeviceDirectAccess() && FNumDevs != 0 && FLineOpen) {
    lineClose(FLine);
    FLineOpen = false;
    FCallHandle = 0;  // closing the line freed its calls
  }
  FCommAttached = false;
  Raise(OnClose);
  ProcessMessages();
}

void TKYRTap::LineReply(int32_t RequestID, int32_t Result) {
  if (RequestID != FDropRequest) return;
  FDropRequest = 0;
  CheckLineResult(Result);
}

}  // namespace vltg
