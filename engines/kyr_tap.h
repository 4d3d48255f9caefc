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
#include "engines/tapi_line_core.h"
#include "engines/time_counter.h"
#include "platform/messages/timer.h"
#include "platform/serial/serial_port.h"

namespace vltg {

class TWinThread;

class TKYRTap;
using TTapNotifyEvent = std::function<void(TKYRTap& Sender)>;
// Where the texts of would-be message boxes go.
using TErrorDialogSink = std::function<void(TKYRTap& Sender, const std::string& Text)>;

// The port comes first among the bases: the dialogue base is handed it. The
// line core holds the port I/O, the port settings and the direct-access
// script (tapi_line_core.h).
class TKYRTap : public TTapPort, private TTapInput, public TTapSession, public TTapiLineCore {
 public:
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
  // PhoneNumber, DevIdToInitialize, DirectAccessScript, DirectAccessLogFile,
  // Timeout (every line or block read stores its window there), LineInstance,
  // ModemSysConfig, ModemAltConfig, ShowDialDialog (stored only) and the
  // direct-access port settings: TTapiLineCore.
  bool GetShowErrorDialog() const { return FShowErrorDialog; }
  void SetShowErrorDialog(bool Value) { FShowErrorDialog = Value; }
  // Rings before a call is answered; 0 or less answers on the first.
  int32_t GetRingsToAnswer() const { return FRingsToAnswer; }
  void SetRingsToAnswer(int32_t Value) { FRingsToAnswer = Value; }
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
  // AttachCommHandle (which, while answering, runs the dialogue on the port
  // it attached), BytesWaiting, ReadComm, WriteComm, ReadAvailable and
  // SendText: TTapiLineCore.
  bool SendString(const std::string& Text) override;
  void FlushInput() override;
  int32_t ReadUntil(const std::string& Terminators, std::string& Line, int32_t Seconds) override;
  void ReadBlock(int32_t Seconds, std::string& Text) override;

  // ---- direct access ----
  void OpenDirectPort();
  // ConfigureDirectPort, DirectPortSettings, RunDirectAccessScript and
  // ScriptError: TTapiLineCore.
  // The direct-access worker's name ("DAThread" + LineInstance).
  const std::string& DAThreadName() const { return FDAThreadName; }
  // A direct-access worker is running.
  bool DirectAccessRunning() const;

  // ---- state the owner may look at (Dropping, CommHandleHeld, LineHandle: TTapiLineCore) ----
  bool LineAppReady() const { return FLineAppReady; }
  bool LineOpen() const { return FLineOpen; }

 protected:
  // TTapiLineCore.
  bool CommAttached() const override { return FCommAttached; }
  void SetCommAttached(bool Value) override { FCommAttached = Value; }
  bool DirectAccess() const override { return GetDeviceDirectAccess(); }
  // While answering, the dialogue runs on the port just attached.
  void PortAttached() override;
  void HandleCallState(uint32_t hCall, uint32_t State, uint32_t Mode) override;
  void HandleLineClose() override;
  void HandleLineDevState(uint32_t State) override;
  void HandleLineReply(int32_t RequestID, int32_t Result) override;

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
  bool OnDirectAccessThread() const;

  // Telephony line.
  void ShutdownLineApp();
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
  bool FShowErrorDialog = true;
  int32_t FRingsToAnswer = 1;

  uint32_t FLineApp = 0;
  std::unique_ptr<TWinThread> FDAThread;
  std::string FDAThreadName;
  bool FLineAppReady = false;
  int32_t FClaimedInstance = -1;  // the entry held, -1 when none
  // Direct access: the last try to open the port failed (worker thread).
  bool FPortFailing = false;
  bool FInCallback = false;
  bool FCallOffered = false;
  int32_t FRingCount = 0;
  int32_t FDropRequest = 0;
  bool FLineOpen = false;
  uint32_t FAPIVersion = 0;
  uint32_t FNumDevs = 0;
  // Stopped once a call is answered.
  TTimeCounter FCounter;
  // A line that could not be re-armed is tried again after FRearmPause,
  // which grows with every failed try; its later failures stay quiet.
  platform::Timer FRearmTimer;
  TRetryPause FRearmPause;
  bool FQuietErrors = false;
};

}  // namespace vltg
