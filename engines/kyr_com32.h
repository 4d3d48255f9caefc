#pragma once
// Serial port component: owns one COM port, applies its speed, framing and
// handshake, reads and writes it with very short read windows, and can poll
// it from a timer of the creating thread and hand what arrived to
// OnReceiveData. The TNPP link derives from it and reads and writes from its
// own thread without the timer path.
//
// Threads: create, Open, Close, the setters and destruction on the creating
// thread (it owns the polling timer); reads and writes may run on one other
// thread, but never while Open or Close runs. The receive buffer is used and
// replaced only under the port's lock.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/messages/timer.h"
#include "platform/serial/serial_port.h"

namespace vltg {

enum TComPortNumber : uint8_t {
  pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6, pnCOM7, pnCOM8,
  pnCOM9, pnCOM10, pnCOM11, pnCOM12, pnCOM13, pnCOM14, pnCOM15, pnCOM16,
};
enum TComPortBaudRate : uint8_t {
  br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000, br57600, br115200,
};
// The rates of every baud-rate table of the system, by ordinal.
inline constexpr uint32_t kComPortBaudRates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                                 14400, 19200, 38400, 56000, 57600, 115200};
enum TComPortDataBits : uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits : uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity : uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking : uint8_t { hhNONE, hhRTSCTS };
enum TComPortSwHandshaking : uint8_t { shNONE, shXONXOFF };

// A set of comm events: the members' Win32 event-mask bits or'ed together.
using TCommEvents = uint32_t;
enum TCommEvent : uint32_t {
  ceBreak = 0x40,
  ceCts = 0x08,
  ceDsr = 0x10,
  ceErr = 0x80,
  cePErr = 0x200,  // printer error: a serial port never reports it
  ceRing = 0x100,
  ceRlsd = 0x20,
  ceRxChar = 0x01,
  ceRxFlag = 0x02,  // no event character is set: never reported
  ceTxEmpty = 0x04,
};

// Port settings from the ordinals every COM setting table of the system
// shares (rate as kComPortBaudRates, data bits - 5, parity none .. space,
// stop bits 1, 1.5, 2).
platform::SerialSettings ComPortSettings(int RateOrdinal, int DataBitsOrdinal, int ParityOrdinal,
                                         int StopBitsOrdinal, bool RtsCts, bool XonXoff);

class TKYRCom32 {
 public:
  TKYRCom32();
  virtual ~TKYRCom32();
  TKYRCom32(const TKYRCom32&) = delete;
  TKYRCom32& operator=(const TKYRCom32&) = delete;

  // Opens "COM<n>" and applies the settings; true when the port is open
  // afterwards (at once when it already was).
  bool Open();
  void Close();
  bool Connected() const { return FPort.IsOpen(); }
  void ApplySettings();

  // True only when all Count bytes were written. A write held back by flow
  // control waits until it can go on or RequestStop is called.
  bool WriteBuffer(const void* Buffer, int Count);
  bool WriteString(const std::string& S);
  // One short read into the receive buffer of at most Count bytes (no more
  // than the buffer holds), cut at the first zero byte; then lets the calling
  // thread's pending messages through.
  std::string ReadString(int Count);
  // One short read of at most Count bytes, zero bytes kept; the count read
  // (0 on failure). Does not pump.
  int ReadBuffer(void* Buffer, int Count);
  void ClearBuffer();
  // Makes a write in progress on another thread, and every later one, fail
  // until the port is opened again.
  void RequestStop() { FPort.RequestStop(); }

  TComPortNumber GetComPort() const { return FComPort; }
  void SetComPort(TComPortNumber Value);  // ignored while open
  TComPortBaudRate GetComPortSpeed() const { return FComPortSpeed; }
  void SetComPortSpeed(TComPortBaudRate Value);
  TComPortDataBits GetComPortDataBits() const { return FComPortDataBits; }
  void SetComPortDataBits(TComPortDataBits Value);
  TComPortStopBits GetComPortStopBits() const { return FComPortStopBits; }
  void SetComPortStopBits(TComPortStopBits Value);
  TComPortParity GetComPortParity() const { return FComPortParity; }
  void SetComPortParity(TComPortParity Value);
  TComPortHwHandshaking GetComPortHwHandshaking() const { return FComPortHwHandshaking; }
  void SetComPortHwHandshaking(TComPortHwHandshaking Value);
  TComPortSwHandshaking GetComPortSwHandshaking() const { return FComPortSwHandshaking; }
  void SetComPortSwHandshaking(TComPortSwHandshaking Value);
  uint16_t GetComPortInBufSize() const;
  // A new receive buffer of that size; the settings are applied again when
  // open. A read in progress on another thread ends first.
  void SetComPortInBufSize(uint16_t Value);
  uint16_t GetComPortOutBufSize() const { return FComPortOutBufSize; }
  void SetComPortOutBufSize(uint16_t Value);
  uint16_t GetComPortPollingDelay() const { return FComPortPollingDelay; }
  void SetComPortPollingDelay(uint16_t Value);
  TCommEvents GetEvents() const { return FEvents; }
  // Watching starts afresh: events before this call are not reported.
  void SetEvents(TCommEvents Value);

  // Raised from the polling timer with what arrived; DataPtr is valid only
  // during the call.
  std::function<void(TKYRCom32& Sender, const char* DataPtr, int DataSize)> OnReceiveData;
  // Raised from the polling timer with the watched events that occurred.
  std::function<void(TKYRCom32& Sender, TCommEvents CommEvent)> OnCommEvent;

 protected:
  platform::SerialPort& Port() { return FPort; }
  // For a component that reads the port itself, from a thread of its own: the
  // polling timer never runs (its ticks would only wake the creating thread).
  void DisablePolling();

 private:
  void PollTick();
  void StartPolling();

  TComPortNumber FComPort = pnCOM2;
  TComPortBaudRate FComPortSpeed = br9600;
  TComPortDataBits FComPortDataBits = db8BITS;
  TComPortStopBits FComPortStopBits = sb1BITS;
  TComPortParity FComPortParity = ptNONE;
  TComPortHwHandshaking FComPortHwHandshaking = hhNONE;
  TComPortSwHandshaking FComPortSwHandshaking = shNONE;
  uint16_t FComPortInBufSize = 2048;
  uint16_t FComPortOutBufSize = 2048;
  uint16_t FComPortPollingDelay = 100;
  TCommEvents FEvents = 0;

  platform::SerialPort FPort;
  mutable std::mutex FPortLock;  // the receive buffer and its size
  std::vector<char> FBuffer;
  platform::Timer FTimer;
  int FPollSkip = 0;
  bool FPolling = false;  // a tick is being handled (its handlers may pump)
  bool FPollingDisabled = false;
};

}  // namespace vltg
