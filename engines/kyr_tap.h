#pragma once
// The TAP answering engine as a component. Its owner sets the properties,
// binds the events, calls InitializeLine and switches answering on with
// WaitForCall. Over a telephony line the line's notifications answer a
// ringing call, attach the call's modem port and run the TAP dialogue on it;
// in direct-access mode a worker thread opens a COM port itself and serves
// one caller after another there.
//
// Threads: the engine belongs to the thread that creates it and calls
// InitializeLine; the line's notifications arrive there while it pumps. In
// direct-access mode the port and the dialogue belong to the worker thread
// while answering is on; the owner only switches answering and reads the
// flags meanwhile.
//
// Nothing is ever shown: what would go into a message box goes to
// ErrorDialogSink (when ShowErrorDialog is True), else nowhere.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/retry_pause.h"
#include "engines/tap_port.h"
#include "engines/tap_reads.h"
#include "engines/tap_session.h"
#include "engines/time_counter.h"
#include "platform/messages/timer.h"
#include "platform/serial/serial_port.h"

namespace vltg {

class TWinThread;

enum TTapComPortBaudRate : uint8_t {
  brt110, brt300, brt600, brt1200, brt2400, brt4800, brt9600, brt14400, brt19200, brt38400, brt56000, brt57600,
  brt115200,
};
enum TTapComPortDataBits : uint8_t { dbt5BITS, dbt6BITS, dbt7BITS, dbt8BITS };
enum TTapComPortStopBits : uint8_t { sbt1BITS, sbt1HALFBITS, sbt2BITS };
enum TTapComPortParity : uint8_t { pttNONE, pttODD, pttEVEN, pttMARK, pttSPACE };
enum TTapComPortHwHandshaking : uint8_t { hhtNONE, hhtRTSCTS };
enum TTapComPortSwHandshaking : uint8_t { shtNONE, shtXONXOFF };

class TKYRTap;
using TTapNotifyEvent = std::function<void(TKYRTap& Sender)>;
// Where the texts of would-be message boxes go.
using TErrorDialogSink = std::function<void(TKYRTap& Sender, const std::string& Text)>;

// The port comes first among the bases: the dialogue base is handed it.
class TKYRTap : public TTapPort, private TTapInput, public TTapSession {
 public:
  // DevIdToInitialize when no line is chosen; also "no COM handle".
  static constexpr uint32_t kNoDevice = 0xFFFFFFFF;

  TKYRTap();
  // Stops answering (joining the direct-access thread), drops and closes
  // what is open and gives the line-table entry back. Nothing escapes.
  ~TKYRTap() override;

  // ---- component ----
  const std::string& GetName() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }
  intptr_t GetTag() const { return FTag; }
  void SetTag(intptr_t Value) { FTag = Value; }
  // Free text for the owner (the gateway keeps the port's name here).
  std::string PortName;

  // ---- properties ----
  // Answering on or off: opens or closes the line, or starts or stops the
  // direct-access thread (waiting for it to end).
  void SetWaitForCall(bool Value) override;
  const std::string& GetPhoneNumber() const { return FPhoneNumber; }
  void SetPhoneNumber(std::string Value) { FPhoneNumber = std::move(Value); }
  uint32_t GetDevIdToInitialize() const { return FDevIdToInitialize; }
  void SetDevIdToInitialize(uint32_t Value) { FDevIdToInitialize = Value; }
  // Modem command lines run after a call's port is attached in direct-access mode.
  const std::vector<std::string>& GetDirectAccessScript() const { return FDirectAccessScript; }
  void SetDirectAccessScript(const std::vector<std::string>& Value) { FDirectAccessScript = Value; }
  const std::string& GetDirectAccessLogFile() const { return FDirectAccessLogFile; }
  void SetDirectAccessLogFile(std::string Value) { FDirectAccessLogFile = std::move(Value); }
  // Seconds one read or write may take; every line or block read stores its window here.
  uint32_t GetTimeout() const { return FTimeout; }
  void SetTimeout(uint32_t Value) { FTimeout = Value; }
  bool GetShowDialDialog() const { return FShowDialDialog; }
  void SetShowDialDialog(bool Value) { FShowDialDialog = Value; }
  bool GetShowErrorDialog() const { return FShowErrorDialog; }
  void SetShowErrorDialog(bool Value) { FShowErrorDialog = Value; }
  // Rings before a call is answered; 0 or less answers on the first.
  int32_t GetRingsToAnswer() const { return FRingsToAnswer; }
  void SetRingsToAnswer(int32_t Value) { FRingsToAnswer = Value; }
  // Entry 0 to 16 of the line table.
  int32_t GetLineInstance() const { return FLineInstance; }
  void SetLineInstance(int32_t Value) { FLineInstance = Value; }
  // Modem configuration files: the line's own, tried first, and the fallback.
  const std::string& GetModemSysConfig() const { return FModemSysConfig; }
  void SetModemSysConfig(std::string Value) { FModemSysConfig = std::move(Value); }
  const std::string& GetModemAltConfig() const { return FModemAltConfig; }
  void SetModemAltConfig(std::string Value) { FModemAltConfig = std::move(Value); }
  // Direct-access port settings; each applies at once to an attached port.
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

  // ---- events (OnTapiProgress and the dialogue's events: TTapSession) ----
  TTapNotifyEvent OnConnection;
  TTapNotifyEvent OnCallOffering;
  TTapNotifyEvent OnCallAnswering;
  TTapNotifyEvent OnCallAnswered;  // declared for owners; never raised
  TTapNotifyEvent OnDisconnect;
  TTapNotifyEvent OnBusy;
  TTapNotifyEvent OnOpen;
  TTapNotifyEvent OnClose;
  TTapNotifyEvent OnDropCall;
  TTapNotifyEvent OnUnexpectedClose;
  TTapNotifyEvent OnNewData;  // declared for owners; never raised
  TProgressEvent OnError;
  TErrorDialogSink ErrorDialogSink;

  // ---- line set-up ----
  // Claims the line-table entry of LineInstance (giving back the one held
  // before) and initialises the telephony application. Raises "TAPILine:
  // Invalid Line ID" (with ShowErrorDialog the text goes to the sink
  // instead), "TAPILine<n> component already exists in this process." or the
  // telephony error text.
  void InitializeLine();
  // Opens the line for answering (or, in direct-access mode, the port).
  void OpenLine();
  // 0 when the device can take inbound data calls, else a code 1 to 6.
  int32_t CheckInboundLine(uint32_t DeviceID);
  // The version agreed for TAPI 1.4; 0 when the device does not support it.
  uint32_t NegotiateAPIVersion(uint32_t DeviceID);
  // Applies the configuration block of a modem configuration file; false
  // when the file is missing, unreadable, malformed or refused.
  bool LoadModemConfig(const std::string& Path, uint32_t DeviceID);
  // Ends the current call; while answering, the line is closed and opened
  // again 3 s later.
  void DropCall() override;
  void CloseLine();
  // Completes an asynchronous request; raises when it is the pending drop
  // and that failed.
  void LineReply(int32_t RequestID, int32_t Result);
  // One line notification (what the line table's handler of this engine's
  // entry receives).
  void LineCallback(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2);

  // ---- port I/O ----
  // Attaches the current port (a call's modem port, or the COM port opened
  // directly) and, while answering, runs the dialogue on it.
  void AttachCommHandle();
  int32_t BytesWaiting();
  // Reads Count bytes (0: what is waiting, at most a chunk), waiting up to
  // Timeout seconds; raises the port error texts.
  int32_t ReadComm(char* Buffer, int32_t Count);
  bool WriteComm(const char* Buffer, int32_t Count);
  // Count bytes (0: all waiting) cut at the first NUL; Text is left alone
  // when nothing is waiting.
  void ReadAvailable(int32_t Count, std::string& Text);
  bool SendText(const std::string& Text);
  bool SendString(const std::string& Text) override;
  void FlushInput() override;
  int32_t ReadUntil(const std::string& Terminators, std::string& Line, int32_t Seconds) override;
  void ReadBlock(int32_t Seconds, std::string& Text) override;

  // ---- direct access ----
  void OpenDirectPort();
  void ConfigureDirectPort();
  // What ConfigureDirectPort applies.
  platform::SerialSettings DirectPortSettings() const;
  void RunDirectAccessScript();
  const std::string& ScriptError() const { return FScriptError; }
  // The direct-access worker's name ("DAThread" + LineInstance).
  const std::string& DAThreadName() const { return FDAThreadName; }
  // A direct-access worker is running.
  bool DirectAccessRunning() const;

  // ---- state the owner may look at ----
  bool Dropping() const { return FDropping; }
  bool CommHandleHeld() const { return FComm.IsOpen(); }
  bool LineAppReady() const { return FLineAppReady; }
  bool LineOpen() const { return FLineOpen; }
  uint32_t LineHandle() const { return FLine; }

 private:
  // TTapInput: what the two timed reads take their bytes from.
  std::string ReadWaiting() override;
  bool InputOpen() const override;
  void AwaitInput() override;

  void Progress(const std::string& Text);
  void Error(const std::string& Text);
  // A would-be message box.
  void ShowError(const std::string& Text);
  void Raise(const TTapNotifyEvent& Event);
  void CloseCommHandle();
  bool OnDirectAccessThread() const;

  // Telephony line.
  void ShutdownLineApp();
  // Takes the answered call's modem port into FComm.
  void TakeCallPort();
  void HandleCallState(uint32_t hCall, uint32_t State);
  void HandleRing();
  void HandleConnected();
  void HandleDisconnected();
  void HandleIdle();
  // Answering off and, after the pause, on again for the next call.
  void Rearm();
  // A tick of FRearmTimer: one more try to open the line.
  void RetryRearm();

  // Direct access.
  // OpenLine in direct-access mode.
  void OpenDirectLine();
  void StartDirectAccess();
  // On the owning thread: waits until the worker has ended.
  void StopDirectAccess();
  uint32_t DAThreadProc();

  std::string FName;
  intptr_t FTag = 0;
  std::string FPhoneNumber;
  uint32_t FDevIdToInitialize = 0;
  std::vector<std::string> FDirectAccessScript;
  std::string FDirectAccessLogFile;
  std::atomic<uint32_t> FTimeout{20};
  bool FShowDialDialog = true;
  bool FShowErrorDialog = true;
  int32_t FRingsToAnswer = 1;
  int32_t FLineInstance = 0;
  std::string FModemSysConfig;
  std::string FModemAltConfig;
  TTapComPortBaudRate FComPortSpeed = brt1200;
  TTapComPortDataBits FComPortDataBits = dbt7BITS;
  TTapComPortStopBits FComPortStopBits = sbt1BITS;
  TTapComPortParity FComPortParity = pttEVEN;
  TTapComPortHwHandshaking FComPortHwHandshaking = hhtRTSCTS;
  TTapComPortSwHandshaking FComPortSwHandshaking = shtNONE;

  uint32_t FLineApp = 0;
  std::unique_ptr<TWinThread> FDAThread;
  std::string FDAThreadName;
  bool FLineAppReady = false;
  int32_t FClaimedInstance = -1;  // the entry held, -1 when none
  std::string FScriptError;
  // Direct access: the last try to open the port failed (worker thread).
  bool FPortFailing = false;
  bool FInCallback = false;
  bool FCallOffered = false;
  int32_t FRingCount = 0;
  int32_t FDropRequest = 0;
  uint32_t FLine = 0;
  bool FLineOpen = false;
  uint32_t FCallHandle = 0;
  std::atomic<bool> FDropping{false};
  uint32_t FAPIVersion = 0;
  uint32_t FNumDevs = 0;
  // The COM handle: the call's modem port or the direct port.
  platform::SerialPort FComm;
  // Stopped once a call is answered.
  TTimeCounter FCounter;
  // A line that could not be re-armed is tried again after FRearmPause,
  // which grows with every failed try; its later failures stay quiet.
  platform::Timer FRearmTimer;
  TRetryPause FRearmPause;
  bool FQuietErrors = false;
};

}  // namespace vltg
