// The answering side of a call, driven by the line's notifications: rings
// are counted and the call answered, the connected call's port attached (the
// TAP dialogue runs inside that notification), the call freed when idle and
// the line re-armed after a disconnect.
#include <exception>

#include "engines/kyr_tap.h"
#include "engines/tapi_line.h"
#include "platform/base/scoped_flag.h"
#include "platform/messages/message_queue.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg {
namespace {

using namespace platform;

}  // namespace

// A notification that reaches the engine while one is being handled (the
// dialogue and the re-arm pause pump messages) is dropped, not queued.
void TKYRTap::LineCallback(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2) {
  if (FInCallback) return;
  const platform::ScopedFlag in_callback(FInCallback);
  try {
    DispatchLineMessage(hDevice, dwMessage, dwParam1, dwParam2);
  } catch (const std::exception& e) {
    // Nothing is passed back into the line layer, not even from OnError.
    try {
      Error("Line Exception: " + std::string(e.what()));
    } catch (...) {
    }
  } catch (...) {
  }
}

void TKYRTap::HandleLineClose() {
  Raise(OnUnexpectedClose);
  // The device is gone (a modem unplugged or failed): an answering line is
  // opened again, with the growing pause, once it is back, instead of
  // staying closed until the service is restarted.
  if (FWaitForCall && FLineOpen && !GetDeviceDirectAccess()) Rearm();
}

void TKYRTap::HandleLineDevState(uint32_t State) {
  if (State == LINEDEVSTATE_RINGING && FCallOffered) HandleRing();
}

void TKYRTap::HandleLineReply(int32_t RequestID, int32_t Result) {
  try {
    LineReply(RequestID, Result);
  } catch (const std::exception&) {
    ShowError("Inbound Line In Use!");
    Error("Inbound Line In Use!");
    FDropping = true;
  }
}

void TKYRTap::HandleCallState(uint32_t hCall, uint32_t State, uint32_t /*Mode*/) {
  switch (State) {
    case LINECALLSTATE_IDLE:
      HandleIdle();
      break;
    case LINECALLSTATE_OFFERING:
      if (FCommAttached) break;
      if (!FWaitForCall) {
        FCallOffered = false;
        break;
      }
      Raise(OnCallOffering);
      FCallHandle = hCall;
      FCallOffered = true;
      FRingCount = 0;
      break;
    case LINECALLSTATE_BUSY:
      Raise(OnBusy);
      break;
    case LINECALLSTATE_CONNECTED:
      HandleConnected();
      break;
    case LINECALLSTATE_DISCONNECTED:
      HandleDisconnected();
      break;
    default:
      break;
  }
}

void TKYRTap::HandleIdle() {
  if (FreeIdleCall()) return;
  ShowError("Unable to dealocate a call.");
  Error("Unable to dealocate inbound call.");
}

void TKYRTap::HandleRing() {
  ++FRingCount;
  if (FRingCount < FRingsToAnswer) return;
  try {
    Raise(OnCallAnswering);
    CheckLineResult(lineAnswer(FCallHandle));
    FCounter.Stop();
    // Answered: later rings of this call must not answer it again.
    FCallOffered = false;
  } catch (const std::exception&) {
    ShowError("Unable to answer to call.");
    Error("Unable to answer to inbound call.");
  }
}

// Runs the whole TAP dialogue before OnConnection is raised.
void TKYRTap::HandleConnected() {
  std::string failure;
  switch (ConnectCall(failure)) {
    case TConnectStep::kIgnored:
      return;
    case TConnectStep::kAttachFailed:
      ShowError("An error occured on connection internal.");
      Error("An error occured on inbound connection internal.");
      return;
    case TConnectStep::kScriptFailed:
      ShowError(failure);
      Error(failure);
      return;
    case TConnectStep::kConnected:
      Raise(OnConnection);
      return;
  }
}

// The line is closed and opened again for the next call.
void TKYRTap::HandleDisconnected() {
  CloseCommHandle();
  Raise(OnDisconnect);
  if (!FWaitForCall) {
    SetWaitForCall(false);
    return;
  }
  Rearm();
}

}  // namespace vltg
