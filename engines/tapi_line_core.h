#pragma once
// What the two telephony line components share: the gateway's TAP engine
// (TKYRTap) and the service manager's line component. A call's modem port (or
// a COM port opened directly) is attached, read and written with its time-out
// and set up from the port settings; the direct-access modem script runs on
// it; the line's notifications are sorted by kind, and the two call states
// both components handle alike (an idle call freed, a connected call's port
// attached) are handled here.
//
// The components differ in a few ways, each a hook below: what runs once a
// port is attached, a pause before each port access, whether port errors are
// raised, and the script log's hang-up text.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/serial/serial_port.h"

namespace vltg {

enum TTapComPortBaudRate : uint8_t {
  brt110, brt300, brt600, brt1200, brt2400, brt4800, brt9600, brt14400, brt19200, brt38400, brt56000, brt57600,
  brt115200,
};
enum TTapComPortDataBits : uint8_t { dbt5BITS, dbt6BITS, dbt7BITS, dbt8BITS };
enum TTapComPortStopBits : uint8_t { sbt1BITS, sbt1HALFBITS, sbt2BITS };
enum TTapComPortParity : uint8_t { pttNONE, pttODD, pttEVEN, pttMARK, pttSPACE };
enum TTapComPortHwHandshaking : uint8_t { hhtNONE, hhtRTSCTS };
enum TTapComPortSwHandshaking : uint8_t { shtNONE, shtXONXOFF };

class TTapiLineCore {
 public:
  // DevIdToInitialize when no line is chosen; also "no COM handle".
  static constexpr uint32_t kNoDevice = 0xFFFFFFFF;

  TTapiLineCore() = default;
  virtual ~TTapiLineCore() = default;
  TTapiLineCore(const TTapiLineCore&) = delete;
  TTapiLineCore& operator=(const TTapiLineCore&) = delete;

  // ---- properties ----
  const std::string& GetPhoneNumber() const { return FPhoneNumber; }
  void SetPhoneNumber(std::string Value) { FPhoneNumber = std::move(Value); }
  // The telephony device of the line; kNoDevice when none is chosen.
  uint32_t GetDevIdToInitialize() const { return FDevIdToInitialize; }
  void SetDevIdToInitialize(uint32_t Value) { FDevIdToInitialize = Value; }
  // Modem command lines run after a call's port is attached in direct-access mode.
  const std::vector<std::string>& GetDirectAccessScript() const { return FDirectAccessScript; }
  void SetDirectAccessScript(const std::vector<std::string>& Value) { FDirectAccessScript = Value; }
  // Where the script's run is logged; empty: nowhere.
  const std::string& GetDirectAccessLogFile() const { return FDirectAccessLogFile; }
  void SetDirectAccessLogFile(std::string Value) { FDirectAccessLogFile = std::move(Value); }
  // Seconds one read or write may take.
  uint32_t GetTimeout() const { return FTimeout; }
  void SetTimeout(uint32_t Value) { FTimeout = Value; }
  // Entry 0 to 16 of the component's line table.
  int32_t GetLineInstance() const { return FLineInstance; }
  void SetLineInstance(int32_t Value) { FLineInstance = Value; }
  // Modem configuration files: the line's own, tried first, and the fallback.
  const std::string& GetModemSysConfig() const { return FModemSysConfig; }
  void SetModemSysConfig(std::string Value) { FModemSysConfig = std::move(Value); }
  const std::string& GetModemAltConfig() const { return FModemAltConfig; }
  void SetModemAltConfig(std::string Value) { FModemAltConfig = std::move(Value); }
  // A window shows a call being set up (only the manager's component has one).
  bool GetShowDialDialog() const { return FShowDialDialog; }
  void SetShowDialDialog(bool Value) { FShowDialDialog = Value; }
  // Port settings; each applies at once to an attached port.
  TTapComPortBaudRate GetComPortSpeed() const { return FComPortSpeed; }
  void SetComPortSpeed(TTapComPortBaudRate Value);
  TTapComPortDataBits GetComPortDataBits() const { return FComPortDataBits; }
  void SetComPortDataBits(TTapComPortDataBits Value);
  TTapComPortStopBits GetComPortStopBits() const { return FComPortStopBits; }
  void SetComPortStopBits(TTapComPortStopBits Value);
  TTapComPortParity GetComPortParity() const { return FComPortParity; }
  void SetComPortParity(TTapComPortParity Value);
  TTapComPortHwHandshaking GetComPortHwHandshaking() const { return FComPortHwHandshaking; }
  void SetComPortHwHandshaking(TTapComPortHwHandshaking Value);
  TTapComPortSwHandshaking GetComPortSwHandshaking() const { return FComPortSwHandshaking; }
  void SetComPortSwHandshaking(TTapComPortSwHandshaking Value);

  // ---- port I/O ----
  // Attaches the current port: the connected call's modem port or, in
  // direct-access mode, the COM port already opened (whose settings are then
  // applied). A call's port that cannot be had is raised as its line error
  // text and leaves nothing attached.
  void AttachCommHandle();
  int32_t BytesWaiting();
  // Reads Count bytes (0: what is waiting, at most a chunk), waiting up to
  // Timeout seconds. Port errors ("COM Error: ...", "Timeout during read
  // operation." ...) are raised, or, where the component does not raise
  // them, end the read with what it got.
  int32_t ReadComm(char* Buffer, int32_t Count);
  // True when all Count bytes were written; port errors as ReadComm's.
  bool WriteComm(const char* Buffer, int32_t Count);
  // Count bytes (0: all waiting) cut at the first NUL; Text is left alone
  // when nothing is waiting.
  void ReadAvailable(int32_t Count, std::string& Text);
  // False for an empty text or a failed write (nothing is raised).
  bool SendText(const std::string& Text);
  // Applies the port settings to an attached port.
  void ConfigureDirectPort();
  // What ConfigureDirectPort applies.
  platform::SerialSettings DirectPortSettings() const;
  // Sends the script's lines to the modem, each answered by OK, until one is
  // answered CONNECT. Raises the script error text (also kept as
  // ScriptError) for a line answered ERROR or "NO ", or not answered in
  // Timeout seconds.
  void RunDirectAccessScript();
  const std::string& ScriptError() const { return FScriptError; }

  // ---- state the owner may look at ----
  // The call is being dropped (or, in the manager, none is up).
  bool Dropping() const { return FDropping; }
  bool CommHandleHeld() const { return FComm.IsOpen(); }
  uint32_t LineHandle() const { return FLine; }

 protected:
  // The owner's flags: a port is attached; direct-access mode.
  virtual bool CommAttached() const = 0;
  virtual void SetCommAttached(bool Value) = 0;
  virtual bool DirectAccess() const = 0;
  // Runs at the end of AttachCommHandle, on the attached port.
  virtual void PortAttached() {}
  // Runs before each read, write and settings change of the port.
  virtual void PortPause() {}
  // False: ReadComm and WriteComm end quietly instead of raising.
  virtual bool RaisesPortErrors() const { return true; }
  // Logged when the script ends because the call was dropped.
  virtual std::string ScriptHangUpText() const { return "Droped (user hangup)"; }

  // One line notification, handed to the handlers below by its kind.
  void DispatchLineMessage(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2);
  virtual void HandleCallState(uint32_t hCall, uint32_t State, uint32_t Mode) = 0;
  virtual void HandleLineClose() = 0;
  virtual void HandleLineDevState(uint32_t /*State*/) {}
  virtual void HandleLineReply(int32_t RequestID, int32_t Result) = 0;

  // IDLE: frees the call and closes its port. False, with both kept, when
  // the line refuses to free the call.
  bool FreeIdleCall();
  // CONNECTED: nothing while dropping, with no line chosen or a port already
  // attached; else the call's port is attached (PortAttached runs inside)
  // and, in direct-access mode, the script runs. A script failure's text
  // goes to Failure.
  enum class TConnectStep { kIgnored, kAttachFailed, kScriptFailed, kConnected };
  TConnectStep ConnectCall(std::string& Failure);

  // Takes the connected call's modem port into FComm.
  void TakeCallPort();
  void CloseCommHandle() { FComm.Close(); }

  // The COM handle: the call's modem port or the direct port.
  platform::SerialPort FComm;
  uint32_t FLine = 0;
  uint32_t FCallHandle = 0;
  std::atomic<bool> FDropping{false};
  std::atomic<uint32_t> FTimeout{20};
  std::string FScriptError;
  std::string FPhoneNumber;
  uint32_t FDevIdToInitialize = 0;
  std::vector<std::string> FDirectAccessScript;
  std::string FDirectAccessLogFile;
  int32_t FLineInstance = 0;
  std::string FModemSysConfig;
  std::string FModemAltConfig;
  bool FShowDialDialog = true;
  TTapComPortBaudRate FComPortSpeed = brt1200;
  TTapComPortDataBits FComPortDataBits = dbt7BITS;
  TTapComPortStopBits FComPortStopBits = sbt1BITS;
  TTapComPortParity FComPortParity = pttEVEN;
  TTapComPortHwHandshaking FComPortHwHandshaking = hhtRTSCTS;
  TTapComPortSwHandshaking FComPortSwHandshaking = shtNONE;

 private:
  // Raises Text as a port error where the component raises them.
  void PortError(const std::string& Text);
};

}  // namespace vltg
