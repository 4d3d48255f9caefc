#pragma once
// One serial port, opened exclusively and used raw: the substitute for a
// Win32 COM handle. Bytes go in and out untranslated (no CR/LF mapping, no
// echo, no signals); every rate the system's tables name works, 14400 and
// 56000 included. Reads wait at most a window of real milliseconds; writes
// give up when the caller's stop request turns true, so a port held back by
// CTS or XOFF never blocks its thread for ever. Pseudo-terminals work too
// (the modem-line calls then report "not supported").
//
// One thread uses a port at a time; only RequestStop may be called from
// another thread while a write is in progress.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vltg::platform {

enum class SerialParity : uint8_t { kNone, kOdd, kEven, kMark, kSpace };
enum class SerialStopBits : uint8_t { kOne, kOneAndHalf, kTwo };  // 1.5 runs as 2

struct SerialSettings {
  uint32_t baud = 9600;
  int data_bits = 8;  // 5 to 8
  SerialParity parity = SerialParity::kNone;
  SerialStopBits stop_bits = SerialStopBits::kOne;
  bool rts_cts = false;   // hardware handshake; without it RTS is held off
  bool xon_xoff = false;  // software handshake with DC1 (17) and DC3 (19), both ways
};

// Events since the last TakeEvents, with the Win32 event-mask values.
enum SerialEvent : uint32_t {
  kEvRxChar = 0x01,
  kEvRxFlag = 0x02,
  kEvTxEmpty = 0x04,
  kEvCts = 0x08,
  kEvDsr = 0x10,
  kEvRlsd = 0x20,
  kEvBreak = 0x40,
  kEvErr = 0x80,
  kEvRing = 0x100,
};

// Line errors since the last TakeErrors, with the Win32 CE_ values.
enum SerialError : uint32_t {
  kCeRxOver = 0x01,
  kCeOverrun = 0x02,
  kCeRxParity = 0x04,
  kCeFrame = 0x08,
  kCeBreak = 0x10,
};

struct ModemLines {
  bool cts = false;
  bool dsr = false;
  bool ring = false;
  bool dcd = false;  // carrier
};

enum class SerialPurge : uint8_t { kInput, kOutput, kBoth };

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens "COMn" (see com_port_map.h) or a device path for reading and
  // writing, exclusively: a second opener, in this process or another, is
  // refused. Settings are left as the device had them until Apply. Clears a
  // stop request left from before. False with LastError() on failure.
  bool Open(const std::string& name);
  // Takes over a descriptor opened elsewhere (a telephony line hands one out
  // for its call): no lock, no exclusive mode and no settings are applied,
  // and Close only closes it. False for a negative descriptor.
  bool Adopt(int fd);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The descriptor, for readiness polling and device queries; -1 when closed.
  int Handle() const { return fd_; }
  // The path actually opened ("COM3" resolved).
  const std::string& Path() const { return path_; }
  // The last failure as "<what>: <system text>".
  const std::string& LastError() const { return error_; }

  // Applies rate, framing and handshake in raw mode, raises DTR and, without
  // hardware handshake, drops RTS. False for settings the port cannot take
  // (data bits outside 5..8, rate 0) or when the device refuses them.
  bool Apply(const SerialSettings& settings);

  // Reads up to `max` bytes, waiting at most `window_ms` real milliseconds
  // (0: only what is already waiting) and returning early once `max` bytes
  // are in. Returns the count (0 when nothing came) or -1 when the device
  // failed or has gone (a closed pseudo-terminal master, a removed adapter).
  long Read(void* buffer, size_t max, int window_ms);
  // Writes all `size` bytes, waiting for room as long as needed unless the
  // port's stop request is set or `stop` returns true (asked every few ms).
  // Returns the count written: less than `size` when stopped or failed.
  size_t Write(const void* data, size_t size, const std::function<bool()>& stop = nullptr);
  // Makes a write in progress (on any thread) and every later one give up
  // until the port is opened again.
  void RequestStop() { stop_requested_.store(true); }

  // Bytes received and not yet read; 0 when closed or unknown.
  size_t BytesWaiting() const;
  // The open device has hung up or failed: nothing is left to read and poll
  // reports a hang-up or an error, or its byte count cannot be read (a
  // closed pseudo-terminal master, a removed adapter, a lost carrier).
  bool HungUp() const;
  // Bytes written and not yet sent; 0 when closed or unknown.
  size_t BytesUnsent() const;
  bool Purge(SerialPurge what);

  // Modem control lines; false when the device has none (pseudo-terminals).
  bool SetDtr(bool on);
  bool SetRts(bool on);
  // Modem status lines; nothing when the device cannot report them.
  std::optional<ModemLines> ReadModemLines() const;
  std::optional<bool> Carrier() const {
    auto lines = ReadModemLines();
    return lines ? std::optional<bool>(lines->dcd) : std::nullopt;
  }

  // SerialEvent bits that happened since the last call (or Open): line
  // changes and errors from the driver's counters where it keeps them, else
  // from modem-line changes; received and sent data from this port's own
  // reads and writes as well.
  uint32_t TakeEvents();
  // SerialError bits counted by the driver since the last call (or Open);
  // always 0 for devices without counters.
  uint32_t TakeErrors();

 private:
  struct Counters {
    int cts = 0, dsr = 0, rng = 0, dcd = 0, rx = 0, tx = 0;
    int frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
  };
  std::optional<Counters> ReadCounters() const;
  bool Fail(const std::string& what);
  // Resets the per-open state once a descriptor is held.
  void Started();

  int fd_ = -1;
  bool adopted_ = false;  // the exclusive mode is not ours to clear
  std::string path_;
  std::string error_;
  std::atomic<bool> stop_requested_{false};
  // Baselines of TakeEvents and TakeErrors.
  std::optional<Counters> event_counters_;
  std::optional<ModemLines> event_lines_;
  std::optional<Counters> error_counters_;
  bool received_since_events_ = false;
  bool sent_since_events_ = false;
  size_t waiting_at_events_ = 0;
};

}  // namespace vltg::platform
