// Telephony line set-up of the TAP engine (interim: direct access only until
// the line layer is in).
#include "engines/kyr_tap.h"
#include "engines/tap_line_table.h"
#include "platform/base/exception.h"
#include "platform/messages/message_queue.h"

namespace vltg {

void TKYRTap::InitializeLine() {
  platform::SleepPumping(100);
  if (GetDeviceDirectAccess()) return;
  throw Exception("TAPILine: no telephony lines");
}

void TKYRTap::OpenLine() {
  if (GetDeviceDirectAccess()) {
    OpenDirectLine();
    return;
  }
  throw Exception("TAPILine: no telephony lines");
}

int32_t TKYRTap::CheckInboundLine(uint32_t) { return 1; }
uint32_t TKYRTap::NegotiateAPIVersion(uint32_t) { return 0; }
bool TKYRTap::LoadModemConfig(const std::string&, uint32_t) { return false; }
void TKYRTap::ShutdownLineApp() {}
void TKYRTap::TakeCallPort() {}
void TKYRTap::LineReply(int32_t, int32_t) {}
void TKYRTap::LineCallback(uint32_t, uint32_t, uint32_t, uint32_t) {}

void TKYRTap::DropCall() {
  FCommAttached = false;
  FDropping = true;
  platform::ProcessMessages();
  try {
    Raise(OnDropCall);
  } catch (...) {
  }
  const bool direct = GetDeviceDirectAccess();
  const bool worker = OnDirectAccessThread();
  if (direct && (worker || !DirectAccessRunning())) CloseCommHandle();
  if (FWaitForCall && !(direct && worker)) {
    SetWaitForCall(false);
    platform::ProcessMessages();
    platform::SleepPumping(3000);
    SetWaitForCall(true);
    platform::ProcessMessages();
  }
}

void TKYRTap::CloseLine() {
  platform::ProcessMessages();
  if (FComm.IsOpen()) {
    CloseCommHandle();
    platform::ProcessMessages();
  }
  FCommAttached = false;
  Raise(OnClose);
  platform::ProcessMessages();
}

}  // namespace vltg
