#include "engines/kyr_tap.h"

#include "engines/win_thread.h"
#include "platform/messages/message_queue.h"

namespace vltg {

TKYRTap::TKYRTap() : TTapSession(static_cast<TTapPort&>(*this)) {
  FCounter.FStartValue = 30;
  FRearmTimer.SetOnTimer([this] { RetryRearm(); });
}

TKYRTap::~TKYRTap() {
  FWaitForCall = false;
  platform::ProcessMessages();
  // The worker uses this engine: it must be gone before anything else goes.
  StopDirectAccess();
  try {
    FCommAttached = false;
    DropCall();
  } catch (...) {
  }
  try {
    CloseLine();
  } catch (...) {
  }
  try {
    ShutdownLineApp();
  } catch (...) {
  }
}

// ---- properties ----

void TKYRTap::SetWaitForCall(bool Value) {
  if (GetDeviceDirectAccess()) {
    if (Value == FWaitForCall) return;
    const bool worker = OnDirectAccessThread();
    if (!Value) {
      FWaitForCall = false;
      // The dialogue notices at the end of its current read window.
      if (!worker) StopDirectAccess();
      return;
    }
    // A worker that was told to stop from its own thread ends first, so two
    // never share the port; switched on from the worker itself, the running
    // worker carries on.
    if (!worker) StopDirectAccess();
    FWaitForCall = true;
    if (!worker) StartDirectAccess();
    return;
  }
  if (Value == FWaitForCall) return;
  if (Value) {
    FWaitForCall = true;
    OpenLine();
    return;
  }
  FWaitForCall = false;
  FCallOffered = false;
  FRearmTimer.SetEnabled(false);
  CloseCommHandle();
  CloseLine();
}

// ---- shared helpers ----

void TKYRTap::Progress(const std::string& Text) {
  if (OnTapiProgress) OnTapiProgress(*this, Text);
}

void TKYRTap::Error(const std::string& Text) {
  if (OnError && !FQuietErrors) OnError(*this, Text);
}

void TKYRTap::ShowError(const std::string& Text) {
  if (FShowErrorDialog && ErrorDialogSink && !FQuietErrors) ErrorDialogSink(*this, Text);
}

void TKYRTap::Raise(const TTapNotifyEvent& Event) {
  if (Event) Event(*this);
}

void TKYRTap::PortAttached() {
  if (FWaitForCall) RunTapSession();
}

}  // namespace vltg
