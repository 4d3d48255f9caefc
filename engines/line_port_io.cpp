// The line components' byte-level access to a call: the attached port, its
// reads and writes with their error texts, and its settings.
#include <algorithm>
#include <climits>
#include <exception>

#include "engines/kyr_com32.h"
#include "engines/line_texts.h"
#include "engines/tapi_line.h"
#include "engines/tapi_line_core.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg {
namespace {

// What is waiting is read in pieces of this size, so a flood of input is
// drained instead of refused.
constexpr int32_t kReadChunk = 1000;
// Between tries while a read waits for the rest of its bytes; each try
// itself waits a real millisecond, long enough to see a hang-up.
constexpr int64_t kReadPollMs = 5;
constexpr int kReadTryMs = 1;
// Room offered for the call's port record.
constexpr uint32_t kCallPortRecordSize = 1026;

}  // namespace

void TTapiLineCore::PortError(const std::string& Text) {
  if (RaisesPortErrors()) throw Exception(Text);
}

void TTapiLineCore::AttachCommHandle() {
  if (CommAttached()) return;
  SetCommAttached(true);
  try {
    if (!DirectAccess()) TakeCallPort();
  } catch (...) {
    // Left attached, the component would ignore every later call.
    SetCommAttached(false);
    throw;
  }
  if (!FComm.IsOpen()) {
    SetCommAttached(false);
    return;
  }
  // The reads poll with windows of their own: no port time-outs or event
  // mask to set up here.
  if (DirectAccess()) ConfigureDirectPort();
  PortAttached();
}

void TTapiLineCore::TakeCallPort() {
  platform::VARSTRING record;
  record.dwTotalSize = kCallPortRecordSize;
  CheckLineResult(
      platform::lineGetID(FLine, 0, FCallHandle, platform::LINECALLSELECT_CALL, &record, platform::kDeviceClassDataModem));
  CloseCommHandle();
  if (record.String.size() < 4) return;
  uint32_t handle = 0;
  for (int i = 3; i >= 0; --i) handle = handle << 8 | static_cast<unsigned char>(record.String[i]);
  if (handle != kNoDevice) FComm.Adopt(static_cast<int>(handle));
}

// A device that hung up or failed under the call ends it, as a lost carrier
// does: a direct port is then opened again by its name.
int32_t TTapiLineCore::BytesWaiting() {
  if (!CommAttached()) return 0;
  if (FComm.HungUp()) {
    SetCommAttached(false);
    return 0;
  }
  return static_cast<int32_t>(std::min<size_t>(FComm.BytesWaiting(), INT32_MAX));
}

int32_t TTapiLineCore::ReadComm(char* Buffer, int32_t Count) {
  PortPause();
  if (!CommAttached() || !FComm.IsOpen()) return 0;
  if (Count == 0) Count = std::min(BytesWaiting(), kReadChunk);
  if (Count <= 0) return 0;
  std::fill_n(Buffer, Count, '\0');
  const int64_t deadline = platform::NowMs() + int64_t{FTimeout} * 1000;
  int32_t got = 0;
  bool waited = false;
  for (;;) {
    const long n = FComm.Read(Buffer + got, static_cast<size_t>(Count - got), kReadTryMs);
    if (n < 0) {
      SetCommAttached(false);  // the device failed: the call is over
      const uint32_t errors = FComm.TakeErrors();
      PortError(errors != 0 ? "COM Error: " + CommErrorText(errors)
                : waited    ? "Error reading from com port while waiting"
                            : "Error reading from com port.");
      return got;
    }
    got += static_cast<int32_t>(n);
    if (got >= Count) return got;
    if (platform::NowMs() >= deadline) {
      PortError("Timeout during read operation.");
      return got;
    }
    platform::SleepPumping(kReadPollMs);
    waited = true;
    if (!FComm.IsOpen()) {
      PortError("Connection has been broken during read.");
      return got;
    }
  }
}

bool TTapiLineCore::WriteComm(const char* Buffer, int32_t Count) {
  PortPause();
  if (!CommAttached() || !FComm.IsOpen()) return false;
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
    PortError("Timeout during write operation.");
  } else if (!FComm.IsOpen()) {
    PortError("Connection has been broken during write.");
  } else if (const uint32_t errors = FComm.TakeErrors()) {
    PortError("COM Error: " + CommErrorText(errors));
  } else {
    PortError(sent > 0 ? "Error writing to com port while waiting" : "Error to writing to com port.");
  }
  return false;
}

void TTapiLineCore::ReadAvailable(int32_t Count, std::string& Text) {
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

bool TTapiLineCore::SendText(const std::string& Text) {
  if (Text.empty()) return false;
  try {
    return WriteComm(Text.data(), static_cast<int32_t>(std::min<size_t>(Text.size(), INT32_MAX)));
  } catch (const std::exception&) {
    return false;
  }
}

platform::SerialSettings TTapiLineCore::DirectPortSettings() const {
  return ComPortSettings(FComPortSpeed, FComPortDataBits, FComPortParity, FComPortStopBits,
                         FComPortHwHandshaking == hhtRTSCTS, FComPortSwHandshaking == shtXONXOFF);
}

void TTapiLineCore::ConfigureDirectPort() {
  PortPause();
  if (!CommAttached() || !FComm.IsOpen()) return;
  FComm.Apply(DirectPortSettings());
}

void TTapiLineCore::SetComPortSpeed(TTapComPortBaudRate Value) {
  FComPortSpeed = Value;
  ConfigureDirectPort();
}

void TTapiLineCore::SetComPortDataBits(TTapComPortDataBits Value) {
  FComPortDataBits = Value;
  ConfigureDirectPort();
}

void TTapiLineCore::SetComPortStopBits(TTapComPortStopBits Value) {
  FComPortStopBits = Value;
  ConfigureDirectPort();
}

void TTapiLineCore::SetComPortParity(TTapComPortParity Value) {
  FComPortParity = Value;
  ConfigureDirectPort();
}

void TTapiLineCore::SetComPortHwHandshaking(TTapComPortHwHandshaking Value) {
  FComPortHwHandshaking = Value;
  ConfigureDirectPort();
}

void TTapiLineCore::SetComPortSwHandshaking(TTapComPortSwHandshaking Value) {
  FComPortSwHandshaking = Value;
  ConfigureDirectPort();
}

}  // namespace vltg
