#include "engines/kyr_com32.h"

#include <algorithm>

#include "platform/base/scoped_flag.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

// Reads return about 1 ms after the call when nothing arrives.
constexpr int kReadWindowMs = 1;
// The shortest period a window timer runs at; shorter ones are raised to it.
constexpr int64_t kMinTimerMs = 10;

}  // namespace

platform::SerialSettings ComPortSettings(int RateOrdinal, int DataBitsOrdinal, int ParityOrdinal,
                                         int StopBitsOrdinal, bool RtsCts, bool XonXoff) {
  platform::SerialSettings s;
  constexpr int rates = static_cast<int>(std::size(kComPortBaudRates));
  s.baud = kComPortBaudRates[std::clamp(RateOrdinal, 0, rates - 1)];
  s.data_bits = DataBitsOrdinal + 5;
  s.parity = static_cast<platform::SerialParity>(std::clamp(ParityOrdinal, 0, 4));
  s.stop_bits = static_cast<platform::SerialStopBits>(std::clamp(StopBitsOrdinal, 0, 2));
  s.rts_cts = RtsCts;
  s.xon_xoff = XonXoff;
  return s;
}

TKYRCom32::TKYRCom32() : FBuffer(FComPortInBufSize), FTimer(FComPortPollingDelay, [this] { PollTick(); }) {}

TKYRCom32::~TKYRCom32() { Close(); }

bool TKYRCom32::Open() {
  if (Connected()) return true;
  FPollSkip = 2;
  if (!FPort.Open("COM" + std::to_string(static_cast<int>(FComPort) + 1))) return false;
  ApplySettings();
  ClearBuffer();
  StartPolling();
  return true;
}

void TKYRCom32::Close() {
  if (!Connected()) return;
  FPort.Close();
  FTimer.SetEnabled(false);
}

void TKYRCom32::ApplySettings() {
  if (!Connected()) return;
  // Failures are ignored, as the port keeps working with what it had. The
  // driver's queue sizes are fixed on this system.
  FPort.Apply(ComPortSettings(FComPortSpeed, FComPortDataBits, FComPortParity, FComPortStopBits,
                              FComPortHwHandshaking == hhRTSCTS, FComPortSwHandshaking == shXONXOFF));
}

bool TKYRCom32::WriteBuffer(const void* Buffer, int Count) {
  if (!Connected() || Count < 0) return false;
  return FPort.Write(Buffer, static_cast<size_t>(Count)) == static_cast<size_t>(Count);
}

bool TKYRCom32::WriteString(const std::string& S) { return WriteBuffer(S.data(), static_cast<int>(S.size())); }

std::string TKYRCom32::ReadString(int Count) {
  std::string result;
  {
    const std::lock_guard lock(FPortLock);
    std::fill(FBuffer.begin(), FBuffer.end(), '\0');
    const int got = ReadBuffer(FBuffer.data(), std::min<int>(Count, static_cast<int>(FBuffer.size())));
    result.assign(FBuffer.data(), static_cast<size_t>(got));
  }
  result.resize(std::min(result.size(), result.find('\0')));
  platform::ProcessMessages();
  return result;
}

int TKYRCom32::ReadBuffer(void* Buffer, int Count) {
  if (!Connected() || Count <= 0) return 0;
  const long got = FPort.Read(Buffer, static_cast<size_t>(Count), kReadWindowMs);
  return got > 0 ? static_cast<int>(got) : 0;
}

void TKYRCom32::ClearBuffer() {
  const std::lock_guard lock(FPortLock);
  std::fill(FBuffer.begin(), FBuffer.end(), '\0');
}

void TKYRCom32::DisablePolling() {
  FPollingDisabled = true;
  FTimer.SetEnabled(false);
}

void TKYRCom32::StartPolling() {
  if (FPollingDisabled) return;
  FTimer.SetInterval(std::max<int64_t>(FComPortPollingDelay, kMinTimerMs));
  FTimer.SetEnabled(true);
}

void TKYRCom32::PollTick() {
  // A handler that pumps may let the next tick in; that tick is dropped.
  if (!Connected() || FPolling) return;
  if (FPollSkip > 0) {
    --FPollSkip;
    return;
  }
  FPollSkip = 1;  // from now on every second tick reads
  if (!OnReceiveData) return;

  const platform::ScopedFlag polling(FPolling);
  // Handed over as a copy: the handler may replace the buffer, and a reader
  // on another thread fills it.
  std::vector<char> data;
  {
    const std::lock_guard lock(FPortLock);
    const long got = FPort.Read(FBuffer.data(), FBuffer.size(), kReadWindowMs);
    if (got > 0) data.assign(FBuffer.begin(), FBuffer.begin() + got);
  }
  if (!data.empty()) OnReceiveData(*this, data.data(), static_cast<int>(data.size()));
  if (OnCommEvent && Connected()) {
    const TCommEvents occurred = FPort.TakeEvents() & FEvents;
    if (occurred) OnCommEvent(*this, occurred);
  }
  platform::SleepPumping(1);
}

void TKYRCom32::SetComPort(TComPortNumber Value) {
  if (!Connected()) FComPort = Value;
}

void TKYRCom32::SetComPortSpeed(TComPortBaudRate Value) {
  FComPortSpeed = Value;
  ApplySettings();
}

void TKYRCom32::SetComPortDataBits(TComPortDataBits Value) {
  FComPortDataBits = Value;
  ApplySettings();
}

void TKYRCom32::SetComPortStopBits(TComPortStopBits Value) {
  FComPortStopBits = Value;
  ApplySettings();
}

void TKYRCom32::SetComPortParity(TComPortParity Value) {
  FComPortParity = Value;
  ApplySettings();
}

void TKYRCom32::SetComPortHwHandshaking(TComPortHwHandshaking Value) {
  FComPortHwHandshaking = Value;
  ApplySettings();
}

void TKYRCom32::SetComPortSwHandshaking(TComPortSwHandshaking Value) {
  FComPortSwHandshaking = Value;
  ApplySettings();
}

uint16_t TKYRCom32::GetComPortInBufSize() const {
  const std::lock_guard lock(FPortLock);
  return FComPortInBufSize;
}

void TKYRCom32::SetComPortInBufSize(uint16_t Value) {
  const std::lock_guard lock(FPortLock);
  FComPortInBufSize = Value;
  FBuffer.assign(Value, '\0');
  ApplySettings();
}

void TKYRCom32::SetComPortOutBufSize(uint16_t Value) {
  FComPortOutBufSize = Value;
  ApplySettings();
}

void TKYRCom32::SetComPortPollingDelay(uint16_t Value) {
  if (Value == FComPortPollingDelay) return;
  if (Connected()) FTimer.SetEnabled(false);
  FComPortPollingDelay = Value;
  if (Connected()) StartPolling();
}

void TKYRCom32::SetEvents(TCommEvents Value) {
  FEvents = Value;
  if (Connected()) FPort.TakeEvents();
}

}  // namespace vltg
