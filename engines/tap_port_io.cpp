// The TAP engine's byte-level access to the caller: the attached port, its
// reads and writes with their error texts, and the two timed reads the
// dialogue is built on.
#include <algorithm>
#include <climits>
#include <exception>

#include "engines/kyr_com32.h"
#include "engines/kyr_tap.h"
#include "engines/line_texts.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

// What is waiting is read in pieces of this size, so a flood of input is
// drained instead of refused.
constexpr int32_t kReadChunk = 1000;
// Between tries while a read waits for the rest of its bytes; each try
// itself waits a real millisecond, long enough to see a hang-up.
constexpr int64_t kReadPollMs = 5;
constexpr int kReadTryMs = 1;

[[noreturn]] void Fail(const std::string& text) { throw Exception(text); }

}  // namespace

void TKYRTap::AttachCommHandle() {
  if (FCommAttached) return;
  FCommAttached = true;
  try {
    if (!GetDeviceDirectAccess()) TakeCallPort();
  } catch (...) {
    // Left attached, the engine would ignore every later call.
    FCommAttached = false;
    throw;
  }
  if (!FComm.IsOpen()) {
    FCommAttached = false;
    return;
  }
  // The reads poll with windows of their own: no port time-outs or event
  // mask to set up here.
  if (GetDeviceDirectAccess()) ConfigureDirectPort();
  if (FWaitForCall) RunTapSession();
}

// A device that hung up or failed under the call ends it, as a lost carrier
// does: a direct port is then opened again by its name.
int32_t TKYRTap::BytesWaiting() {
  if (!FCommAttached) return 0;
  if (FComm.HungUp()) {
    FCommAttached = false;
    return 0;
  }
  return static_cast<int32_t>(std::min<size_t>(FComm.BytesWaiting(), INT32_MAX));
}

int32_t TKYRTap::ReadComm(char* Buffer, int32_t Count) {
  if (!FCommAttached || !FComm.IsOpen()) return 0;
  if (Count == 0) Count = std::min(BytesWaiting(), kReadChunk);
  if (Count <= 0) return 0;
  std::fill_n(Buffer, Count, '\0');
  const int64_t deadline = platform::NowMs() + int64_t{FTimeout} * 1000;
  int32_t got = 0;
  bool waited = false;
  for (;;) {
    const long n = FComm.Read(Buffer + got, static_cast<size_t>(Count - got), kReadTryMs);
    if (n < 0) {
      FCommAttached = false;  // the device failed: the call is over
      if (const uint32_t errors = FComm.TakeErrors()) Fail("COM Error: " + CommErrorText(errors));
      Fail(waited ? "Error reading from com port while waiting" : "Error reading from com port.");
    }
    got += static_cast<int32_t>(n);
    if (got >= Count) return got;
    if (platform::NowMs() >= deadline) Fail("Timeout during read operation.");
    platform::SleepPumping(kReadPollMs);
    waited = true;
    if (!FComm.IsOpen()) Fail("Connection has been broken during read.");
  }
}

bool TKYRTap::WriteComm(const char* Buffer, int32_t Count) {
  if (!FCommAttached || !FComm.IsOpen()) return false;
  if (Count <= 0) return true;
  const int64_t deadline = platform::NowMs() + int64_t{FTimeout} * 1000;
  bool timed_out = false;
  const size_t sent = FComm.Write(Buffer, static_cast<size_t>(Count), [&] {
    timed_out = platform::NowMs() >= deadline;
    return timed_out;
  });
  if (sent == static_cast<size_t>(Count)) return true;
  if (timed_out) {
    // What is still queued would reach the caller late, out of turn.
    FComm.Purge(platform::SerialPurge::kOutput);
    Fail("Timeout during write operation.");
  }
  if (!FComm.IsOpen()) Fail("Connection has been broken during write.");
  if (const uint32_t errors = FComm.TakeErrors()) Fail("COM Error: " + CommErrorText(errors));
  Fail(sent > 0 ? "Error writing to com port while waiting" : "Error to writing to com port.");
}

void TKYRTap::ReadAvailable(int32_t Count, std::string& Text) {
  std::string bytes;
  if (Count > 0) {
    bytes.resize(static_cast<size_t>(Count));
    bytes.resize(static_cast<size_t>(ReadComm(bytes.data(), Count)));
  } else {
    int32_t waiting = BytesWaiting();
    if (waiting <= 0) return;
    while (waiting > 0) {
      const int32_t chunk = std::min(waiting, kReadChunk);
      const size_t at = bytes.size();
      bytes.resize(at + static_cast<size_t>(chunk));
      bytes.resize(at + static_cast<size_t>(ReadComm(bytes.data() + at, chunk)));
      waiting -= chunk;
    }
  }
  Text = bytes.substr(0, bytes.find('\0'));
}

bool TKYRTap::SendText(const std::string& Text) {
  if (Text.empty()) return false;
  try {
    return WriteComm(Text.data(), static_cast<int32_t>(std::min<size_t>(Text.size(), INT32_MAX)));
  } catch (const std::exception&) {
    return false;
  }
}

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

platform::SerialSettings TKYRTap::DirectPortSettings() const {
  return ComPortSettings(FComPortSpeed, FComPortDataBits, FComPortParity, FComPortStopBits,
                         FComPortHwHandshaking == hhtRTSCTS, FComPortSwHandshaking == shtXONXOFF);
}

void TKYRTap::ConfigureDirectPort() {
  if (!FCommAttached || !FComm.IsOpen()) return;
  FComm.Apply(DirectPortSettings());
}

}  // namespace vltg
