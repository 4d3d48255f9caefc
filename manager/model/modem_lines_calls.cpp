// The line component's call-handling half: the notifications of a call on a
// line of its line application (answered at once, its port attached,
// hung up when it ends), the replies to its requests, hanging up and closing,
// and the port settings under the component's own names.
#include <exception>

#include "engines/line_texts.h"
#include "engines/tapi_line.h"
#include "manager/model/message_sink.h"
#include "manager/model/modem_lines.h"
#include "platform/messages/message_queue.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg::manager {
namespace {

using namespace platform;

}  // namespace

// ---- port settings ----

void TModemLines::SetComPort(TAComPortNumber Value) {
  if (!FCommAttached) FComPort = Value;
}

TAComPortBaudRate TModemLines::GetComPortSpeed() const {
  return static_cast<TAComPortBaudRate>(TTapiLineCore::GetComPortSpeed());
}
void TModemLines::SetComPortSpeed(TAComPortBaudRate Value) {
  TTapiLineCore::SetComPortSpeed(static_cast<TTapComPortBaudRate>(Value));
}
TAComPortDataBits TModemLines::GetComPortDataBits() const {
  return static_cast<TAComPortDataBits>(TTapiLineCore::GetComPortDataBits());
}
void TModemLines::SetComPortDataBits(TAComPortDataBits Value) {
  TTapiLineCore::SetComPortDataBits(static_cast<TTapComPortDataBits>(Value));
}
TAComPortStopBits TModemLines::GetComPortStopBits() const {
  return static_cast<TAComPortStopBits>(TTapiLineCore::GetComPortStopBits());
}
void TModemLines::SetComPortStopBits(TAComPortStopBits Value) {
  TTapiLineCore::SetComPortStopBits(static_cast<TTapComPortStopBits>(Value));
}
TAComPortParity TModemLines::GetComPortParity() const {
  return static_cast<TAComPortParity>(TTapiLineCore::GetComPortParity());
}
void TModemLines::SetComPortParity(TAComPortParity Value) {
  TTapiLineCore::SetComPortParity(static_cast<TTapComPortParity>(Value));
}
TAComPortHwHandshaking TModemLines::GetComPortHwHandshaking() const {
  return static_cast<TAComPortHwHandshaking>(TTapiLineCore::GetComPortHwHandshaking());
}
void TModemLines::SetComPortHwHandshaking(TAComPortHwHandshaking Value) {
  TTapiLineCore::SetComPortHwHandshaking(static_cast<TTapComPortHwHandshaking>(Value));
}
TAComPortSwHandshaking TModemLines::GetComPortSwHandshaking() const {
  return static_cast<TAComPortSwHandshaking>(TTapiLineCore::GetComPortSwHandshaking());
}
void TModemLines::SetComPortSwHandshaking(TAComPortSwHandshaking Value) {
  TTapiLineCore::SetComPortSwHandshaking(static_cast<TTapComPortSwHandshaking>(Value));
}

// The window's events keep flowing around every access to the port.
void TModemLines::PortPause() { SleepPumping(2); }

// ---- shared helpers ----

void TModemLines::Raise(const TModemLinesEvent& Event) {
  if (Event) Event(*this);
}

void TModemLines::ShowError(const std::string& Text) {
  if (FShowErrorDialogs && FSink != nullptr) FSink->ShowBox(Text, BoxKind::kError, BoxButtons::kOk);
}

void TModemLines::ShowStatus(const std::string& Text) {
  if (FStatusPanel && !Text.empty()) FStatusPanel(Text);
}

void TModemLines::HideDialingForm() {
  if (FDialingForm) FDialingForm->Hide();
}

void TModemLines::ReportProgress(TModemLines& /*Sender*/, const std::string& Msg) {
  if (OnPageProgress) OnPageProgress(*this, Msg, "Connection Status");
}

// ---- hanging up ----

bool TModemLines::HangUp() {
  if (!FCommAttached && FDropping) return true;
  FEventSignalled[0] = true;
  FCommAttached = false;
  FDropping = true;
  if (FCallHandle != 0) {
    FRequests[kDropRequest] = lineDrop(FCallHandle);
    FCallHandle = 0;
  }
  // The wait for the first event ends at once: it was signalled just above.
  Raise(OnDropCall);
  SleepPumping(1);
  HideDialingForm();
  CloseLine();
  if (!FCommAttached && FDropping) ReportProgress(*this, "Disconnected");
  SleepPumping(1);
  return false;
}

void TModemLines::CloseLine() {
  ShowStatus("Try to close line... (takes several seconds)");
  SleepPumping(1);
  FEventSignalled[0] = true;
  FCommAttached = false;
  CloseCommHandle();
  if (FNumDevs != 0) lineClose(FLine);  // never opened here: nothing to report
  Raise(OnClose);
}

void TModemLines::LineReply(int32_t RequestId, int32_t Result) {
  if (RequestId == 0) return;  // no request has that identifier
  if (RequestId == FRequests[kAnswerRequest]) {
    FRequests[kAnswerRequest] = 0;
    CheckLineResult(Result);
    Raise(OnCallAnswering);
  } else if (RequestId == FRequests[kDialRequest]) {
    FRequests[kDialRequest] = 0;
    CheckLineResult(Result);
  } else if (RequestId == FRequests[kDropRequest]) {
    FRequests = {};
    if (!FCommAttached) HangUp();
    CheckLineResult(Result);
  }
}

// ---- notifications ----

// An exception from an event handler is not passed into the line layer,
// which would carry it out of the window's event loop: it is shown as the
// other failures are.
void TModemLines::LineCallback(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2) {
  try {
    DispatchLineMessage(hDevice, dwMessage, dwParam1, dwParam2);
  } catch (const std::exception& e) {
    ShowError(e.what());
  } catch (...) {
  }
}

// The status panel tells each call state handled without a failure.
void TModemLines::HandleCallState(uint32_t hCall, uint32_t State, uint32_t Mode) {
  bool handled = true;
  switch (State) {
    case LINECALLSTATE_IDLE:
      if (!CallIdle()) return;
      break;
    case LINECALLSTATE_OFFERING:
      if (!CallOffered(hCall)) return;
      break;
    case LINECALLSTATE_BUSY:
      Raise(OnBusy);
      HideDialingForm();
      HangUp();
      break;
    case LINECALLSTATE_CONNECTED:
      if (!CallConnected()) return;
      break;
    case LINECALLSTATE_DISCONNECTED:
      CloseCommHandle();
      Raise(OnDisconnect);
      HideDialingForm();
      HangUp();
      break;
    default:
      handled = false;
      break;
  }
  ShowStatus(handled ? CallStateDetailText(State, Mode) : CallStateText(State));
}

bool TModemLines::CallIdle() {
  if (FreeIdleCall()) return true;
  ShowError("Unable to dealocate a call.");
  HideDialingForm();
  return false;
}

// No rings are counted: while WaitForCall is set, the call is answered at
// once.
bool TModemLines::CallOffered(uint32_t hCall) {
  if (FCommAttached) return true;
  FCallHandle = hCall;
  Raise(OnCallOffering);
  if (!FWaitForCall) return true;
  if (FShowDialDialog && FDialingForm) {
    FDialingForm->Show();
    ProcessMessages();
  }
  try {
    const int32_t request = lineAnswer(FCallHandle);
    CheckLineResult(request);
    FRequests[kAnswerRequest] = request;
  } catch (const std::exception&) {
    ShowError("Unable to answer to call.");
    HideDialingForm();
    return false;
  }
  // A call is up again: its CONNECTED attaches its port.
  FDropping = false;
  return true;
}

// The port is attached and nothing runs on it; the direct-access script
// does, in direct-access mode.
bool TModemLines::CallConnected() {
  std::string failure;
  switch (ConnectCall(failure)) {
    case TConnectStep::kIgnored:
      return true;
    case TConnectStep::kAttachFailed:
      failure = "An error occured on connection internal.";
      break;
    case TConnectStep::kScriptFailed:
      break;
    case TConnectStep::kConnected:
      HideDialingForm();
      Raise(OnConnection);
      return true;
  }
  ShowError(failure);
  HideDialingForm();
  return false;
}

void TModemLines::HandleLineClose() {
  Raise(OnUnexpectedClose);
  ShowStatus("Line has been unexpectedly closed");
}

void TModemLines::HandleLineReply(int32_t RequestId, int32_t Result) {
  try {
    LineReply(RequestId, Result);
  } catch (const std::exception&) {
    if (OnLineBusy) {
      OnLineBusy(*this);
    } else {
      ShowError("Line In Use!");
    }
    HideDialingForm();
    HangUp();
  }
}

}  // namespace vltg::manager
