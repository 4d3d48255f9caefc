// The TAP engine's port operations the dialogue runs on: sending, flushing
// and the two timed reads, over the port I/O of the line core
// (line_port_io.cpp).
#include <algorithm>

#include "engines/kyr_tap.h"
#include "platform/messages/message_queue.h"

namespace vltg {

bool TKYRTap::SendString(const std::string& Text) {
  if (!FCommAttached) return false;
  const bool sent = SendText(!Text.empty() && Text[0] == '\0' ? Text.substr(1) : Text);
  platform::SleepPumping(2);
  return sent;
}

void TKYRTap::FlushInput() {
  if (!FCommAttached) return;
  if (FComm.Purge(platform::SerialPurge::kInput)) return;
  std::string discarded;
  ReadAvailable(0, discarded);
}

int32_t TKYRTap::ReadUntil(const std::string& Terminators, std::string& Line, int32_t Seconds) {
  FTimeout = static_cast<uint32_t>(std::max(Seconds, 0));
  return TapReadUntil(*this, Terminators, Line, Seconds);
}

void TKYRTap::ReadBlock(int32_t Seconds, std::string& Text) {
  FTimeout = static_cast<uint32_t>(std::max(Seconds, 0));
  TapReadBlock(*this, Seconds, Text);
}

std::string TKYRTap::ReadWaiting() {
  std::string text;
  ReadAvailable(0, text);
  return text;
}

bool TKYRTap::InputOpen() const { return FCommAttached && !FDropping; }

// Bytes (or a hang-up) on the port end the wait; so do the window's
// countdown tick and, on a direct-access worker, a wake from the owner that
// dropped the call or stopped answering.
void TKYRTap::AwaitInput() {
  if (FComm.IsOpen()) {
    platform::WaitReadable(FComm.Handle(), -1);
  } else {
    platform::WaitMessage(-1);
  }
}

}  // namespace vltg
