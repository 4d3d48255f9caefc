#pragma once
// The manager's telephony line component: lists the lines that carry data
// calls and has a line's modem settings edited in the line provider's own
// dialog, stored as a TAP port's modem configuration file (*.mcf, read and
// written by datafiles/modem_config_file.h, as the gateway reads it).
//
// The manager never opens a line or places a call with it: it only holds a
// line application open (with an entry of its own 17-entry line table) to
// list the lines. EditModemConfig needs no line application.
//
// The component also has a call-handling half, present but idle in the
// manager: on a line opened in its line application it answers an offered
// call at once while WaitForCall is set, attaches the connected call's port
// (running no dialogue on it) and the direct-access script, hangs up, and
// reports through its events, its status panel, its dialing form and error
// boxes. It shares its port I/O, port settings and script with the gateway's
// TAP engine (TTapiLineCore). It lives on the window's thread: every
// operation and notification runs there while it pumps.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/line_table.h"
#include "engines/tapi_line_core.h"
#include "manager/model/dialing_form.h"
#include "platform/telephony/line_api.h"

namespace vltg::manager {

class MessageSink;

// A listed line: its name and its device identifier, which is what a port
// stores and what its modem configuration is edited for.
struct TModemLine {
  std::string Name;
  uint32_t DeviceId = 0;
  bool operator==(const TModemLine&) const = default;
};

// The port settings as this component names them, with the ordinals of the
// TAP engine's (tapi_line_core.h).
enum TAComPortNumber : uint8_t { pnaCOM1, pnaCOM2, pnaCOM3, pnaCOM4 };
enum TAComPortBaudRate : uint8_t {
  bra110, bra300, bra600, bra1200, bra2400, bra4800, bra9600, bra14400, bra19200, bra38400, bra56000, bra57600,
  bra115200,
};
enum TAComPortDataBits : uint8_t { dba5BITS, dba6BITS, dba7BITS, dba8BITS };
enum TAComPortStopBits : uint8_t { sba1BITS, sba1HALFBITS, sba2BITS };
enum TAComPortParity : uint8_t { ptaNONE, ptaODD, ptaEVEN, ptaMARK, ptaSPACE };
enum TAComPortHwHandshaking : uint8_t { hhaNONE, hhaRTSCTS };
enum TAComPortSwHandshaking : uint8_t { shaNONE, shaXONXOFF };
// Settings for sending pages by modem, stored only; the values the system uses.
enum TDialMethod : uint8_t { dmTone, dmPulse };
enum TDeliveryCommand : uint8_t { dcTap };
enum TSMSType : uint8_t { stNone };

class TModemLines;
using TModemLinesTable = TLineTable<TModemLines>;
using TModemLinesEvent = std::function<void(TModemLines& Sender)>;
using TStatusNotifyEvent =
    std::function<void(TModemLines& Sender, const std::string& Status, const std::string& Caption)>;
// Puts a text into a status bar's panel.
using TStatusPanel = std::function<void(const std::string& Text)>;

class TModemLines : private TTapiLineCore {
 public:
  using TTapiLineCore::kNoDevice;

  // Owner is the form the component belongs to; it becomes ParentForm.
  explicit TModemLines(void* Owner = nullptr);
  // Hangs up, shuts the line application down and gives the entry back;
  // nothing escapes.
  ~TModemLines() override;

  // ---- published properties ----
  // Offered calls are answered at once.
  bool GetWaitForCall() const { return FWaitForCall; }
  void SetWaitForCall(bool Value) { FWaitForCall = Value; }
  bool GetDeviceDirectAccess() const { return FDeviceDirectAccess; }
  void SetDeviceDirectAccess(bool Value) { FDeviceDirectAccess = Value; }
  // PhoneNumber, DevIdToInitialize, DirectAccessScript, DirectAccessLogFile,
  // Timeout, LineInstance, ModemSysConfig and ModemAltConfig (stored only) as
  // the TAP engine has them; ShowDialDialog: an offered call shows the
  // dialing form (entry 0 only has one).
  using TTapiLineCore::GetDevIdToInitialize;
  using TTapiLineCore::GetDirectAccessLogFile;
  using TTapiLineCore::GetDirectAccessScript;
  using TTapiLineCore::GetLineInstance;
  using TTapiLineCore::GetModemAltConfig;
  using TTapiLineCore::GetModemSysConfig;
  using TTapiLineCore::GetPhoneNumber;
  using TTapiLineCore::GetShowDialDialog;
  using TTapiLineCore::GetTimeout;
  using TTapiLineCore::SetDevIdToInitialize;
  using TTapiLineCore::SetDirectAccessLogFile;
  using TTapiLineCore::SetDirectAccessScript;
  using TTapiLineCore::SetLineInstance;
  using TTapiLineCore::SetModemAltConfig;
  using TTapiLineCore::SetModemSysConfig;
  using TTapiLineCore::SetPhoneNumber;
  using TTapiLineCore::SetShowDialDialog;
  using TTapiLineCore::SetTimeout;
  bool GetShowNoModemsDialog() const { return FShowNoModemsDialog; }
  void SetShowNoModemsDialog(bool Value) { FShowNoModemsDialog = Value; }
  // Failures are shown in error boxes (through the message sink), and the
  // port errors raised.
  bool GetShowErrorDialogs() const { return FShowErrorDialogs; }
  void SetShowErrorDialogs(bool Value) { FShowErrorDialogs = Value; }
  // The window the provider's dialog is modal to.
  void* GetParentForm() const { return FParentForm; }
  void SetParentForm(void* Form) { FParentForm = Form; }
  const std::string& GetModemTermConfig() const { return FModemTermConfig; }
  void SetModemTermConfig(std::string Value) { FModemTermConfig = std::move(Value); }
  bool GetDTMFOnly() const { return FDTMFOnly; }
  void SetDTMFOnly(bool Value) { FDTMFOnly = Value; }
  bool GetDTMFSendAccessNumber() const { return FDTMFSendAccessNumber; }
  void SetDTMFSendAccessNumber(bool Value) { FDTMFSendAccessNumber = Value; }
  const std::string& GetDTMFScript() const { return FDTMFScript; }
  void SetDTMFScript(std::string Value) { FDTMFScript = std::move(Value); }
  const std::string& GetDTMFMessage() const { return FDTMFMessage; }
  void SetDTMFMessage(std::string Value) { FDTMFMessage = std::move(Value); }
  const std::string& GetDTMFPIN() const { return FDTMFPIN; }
  void SetDTMFPIN(std::string Value) { FDTMFPIN = std::move(Value); }
  TDialMethod GetDialMethod() const { return FDialMethod; }
  void SetDialMethod(TDialMethod Value) { FDialMethod = Value; }
  const std::string& GetPinNumber() const { return FPinNumber; }
  void SetPinNumber(std::string Value) { FPinNumber = std::move(Value); }
  const std::string& GetInitString() const { return FInitString; }
  void SetInitString(std::string Value) { FInitString = std::move(Value); }
  int32_t GetMaxMessagesPerCall() const { return FMaxMessagesPerCall; }
  void SetMaxMessagesPerCall(int32_t Value) { FMaxMessagesPerCall = Value; }
  int32_t GetMsgLength() const { return FMsgLength; }
  void SetMsgLength(int32_t Value) { FMsgLength = Value; }
  const std::string& GetMessage() const { return FMessage; }
  void SetMessage(std::string Value) { FMessage = std::move(Value); }
  const std::string& GetPassword() const { return FPassword; }
  void SetPassword(std::string Value) { FPassword = std::move(Value); }
  bool GetUseModem() const { return FUseModem; }
  void SetUseModem(bool Value) { FUseModem = Value; }
  bool GetNumericOnly() const { return FNumericOnly; }
  void SetNumericOnly(bool Value) { FNumericOnly = Value; }
  const std::string& GetSendResult() const { return FSendResult; }
  void SetSendResult(std::string Value) { FSendResult = std::move(Value); }
  const std::string& GetErrorStr() const { return FErrorStr; }
  void SetErrorStr(std::string Value) { FErrorStr = std::move(Value); }
  TDeliveryCommand GetETAPCommand() const { return FETAPCommand; }
  void SetETAPCommand(TDeliveryCommand Value) { FETAPCommand = Value; }
  const std::string& GetETapMsgID() const { return FETapMsgID; }
  void SetETapMsgID(std::string Value) { FETapMsgID = std::move(Value); }
  const std::string& GetETapMsgExpire() const { return FETapMsgExpire; }
  void SetETapMsgExpire(std::string Value) { FETapMsgExpire = std::move(Value); }
  const std::string& GetETapMsgSchedule() const { return FETapMsgSchedule; }
  void SetETapMsgSchedule(std::string Value) { FETapMsgSchedule = std::move(Value); }
  TSMSType GetSMSType() const { return FSMSType; }
  void SetSMSType(TSMSType Value) { FSMSType = Value; }
  bool GetSendReverseOrder() const { return FSendReverseOrder; }
  void SetSendReverseOrder(bool Value) { FSendReverseOrder = Value; }
  bool GetDisplayMsgBreaks() const { return FDisplayMsgBreaks; }
  void SetDisplayMsgBreaks(bool Value) { FDisplayMsgBreaks = Value; }
  bool GetTurncateMsgs() const { return FTurncateMsgs; }
  void SetTurncateMsgs(bool Value) { FTurncateMsgs = Value; }
  // Stored only while no port is attached.
  TAComPortNumber GetComPort() const { return FComPort; }
  void SetComPort(TAComPortNumber Value);
  // Each applies at once to an attached port.
  TAComPortBaudRate GetComPortSpeed() const;
  void SetComPortSpeed(TAComPortBaudRate Value);
  TAComPortDataBits GetComPortDataBits() const;
  void SetComPortDataBits(TAComPortDataBits Value);
  TAComPortStopBits GetComPortStopBits() const;
  void SetComPortStopBits(TAComPortStopBits Value);
  TAComPortParity GetComPortParity() const;
  void SetComPortParity(TAComPortParity Value);
  TAComPortHwHandshaking GetComPortHwHandshaking() const;
  void SetComPortHwHandshaking(TAComPortHwHandshaking Value);
  TAComPortSwHandshaking GetComPortSwHandshaking() const;
  void SetComPortSwHandshaking(TAComPortSwHandshaking Value);

  // ---- events ----
  TModemLinesEvent OnConnection;
  TModemLinesEvent OnCallOffering;
  TModemLinesEvent OnCallAnswering;
  TModemLinesEvent OnDisconnect;
  TModemLinesEvent OnBusy;
  TModemLinesEvent OnOpen;  // declared for owners; never raised
  TModemLinesEvent OnClose;
  TModemLinesEvent OnDropCall;
  TModemLinesEvent OnUnexpectedClose;
  // A request of the line failed; without it the box "Line In Use!".
  TModemLinesEvent OnLineBusy;
  TStatusNotifyEvent OnPageProgress;

  // Where error boxes go (none: nowhere), and the status panel (none unless
  // set).
  void SetMessageSink(MessageSink* Sink) { FSink = Sink; }
  void SetStatusPanel(TStatusPanel Panel) { FStatusPanel = std::move(Panel); }
  // The dialing form, when one was made.
  TDialingForm* DialingForm() const { return FDialingForm.get(); }

  // ---- line listing and modem settings ----
  // Starts (or restarts) the line application on the entry of LineInstance;
  // false, with nothing shown, when that cannot be: direct access, an entry
  // out of range or held by another component, or a failing start. Entry 0
  // with ShowDialDialog makes the dialing form once.
  bool InitializeLine();
  // The data-modem lines in device order: "Line Unavailable" for a line whose
  // interface version does not fit; lines without data-modem support and
  // blank names are left out. False, with Strings untouched, until the line
  // application runs; a failing capabilities query raises its line error
  // text (Strings then holds the lines before it).
  bool GetLineNames(std::vector<TModemLine>& Strings);
  // The name a line's capabilities give it: its ASCII name up to the first
  // NUL, "Line Name is Empty" when that is empty, "Line Unnamed" without one.
  static std::string GetLineName(const platform::LINEDEVCAPS& Caps);
  // The name to list for a line's capabilities; empty (not listed) for a line
  // without data-modem support.
  static std::string DataModemLineName(const platform::LINEDEVCAPS& Caps);
  // The version in 1.4 to 2.0 the line supports, 0 when none; any other
  // failure raises its line error text.
  uint32_t NegotiateAPIVersion(uint32_t DeviceId);
  // Shows the provider's dialog for the line, starting from the file at Path
  // (or, when there is none, or its sizes do not fit it, or its block is not
  // the provider's, from the line's current configuration), and replaces the
  // file with the result. False when the file cannot be read or written, the
  // line cannot be queried, or the dialog fails or is cancelled (then
  // *Cancelled is set, and nothing is written in any case of false). *Reason
  // gets why, where it is known: the file's error, or why the provider
  // cannot use the line (its telephony.ini entry).
  bool EditModemConfig(const std::string& Path, uint32_t DeviceId, bool* Cancelled = nullptr,
                       std::string* Reason = nullptr);
  // The line application, for an owner that opens a line of it; 0 until
  // InitializeLine.
  platform::HLINEAPP LineApp() const { return FLineApp; }

  // ---- calls ----
  // Drops the call and closes the port. True when there was nothing to hang
  // up (no port attached, a hang-up already done); false after a hang-up.
  bool HangUp();
  void CloseLine();
  // Completes an asynchronous request: the answer (then OnCallAnswering) or
  // the drop (then, with no port attached, HangUp). A failed one raises its
  // line error text.
  void LineReply(int32_t RequestId, int32_t Result);
  // Raises OnPageProgress with the caption "Connection Status".
  void ReportProgress(TModemLines& Sender, const std::string& Msg);
  // One line notification (what the line table's handler of this
  // component's entry receives).
  void LineCallback(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2);

  // ---- port I/O and the direct-access script, as the TAP engine has them;
  // each port access first lets messages through and sleeps 2 ms, and port
  // errors are raised only with ShowErrorDialogs ----
  using TTapiLineCore::AttachCommHandle;  // runs nothing on the port
  using TTapiLineCore::BytesWaiting;
  using TTapiLineCore::CommHandleHeld;
  using TTapiLineCore::ConfigureDirectPort;
  using TTapiLineCore::Dropping;
  using TTapiLineCore::ReadComm;
  using TTapiLineCore::RunDirectAccessScript;
  using TTapiLineCore::ScriptError;
  using TTapiLineCore::SendText;
  using TTapiLineCore::WriteComm;
  bool GetCommAttached() const { return FCommAttached; }

 protected:
  // TTapiLineCore.
  bool CommAttached() const override { return FCommAttached; }
  void SetCommAttached(bool Value) override { FCommAttached = Value; }
  bool DirectAccess() const override { return FDeviceDirectAccess; }
  void PortPause() override;
  bool RaisesPortErrors() const override { return FShowErrorDialogs; }
  std::string ScriptHangUpText() const override { return "Dropped (user hangup)"; }
  void HandleCallState(uint32_t hCall, uint32_t State, uint32_t Mode) override;
  void HandleLineClose() override;
  void HandleLineReply(int32_t RequestId, int32_t Result) override;

 private:
  // The outstanding asynchronous requests.
  enum TRequest { kAnswerRequest, kDialRequest, kDropRequest, kRequests };

  void ShutdownLineApp();
  void Raise(const TModemLinesEvent& Event);
  // An error box, with ShowErrorDialogs.
  void ShowError(const std::string& Text);
  void ShowStatus(const std::string& Text);
  void HideDialingForm();
  // Call states; false after a failure (shown in its box).
  bool CallOffered(uint32_t hCall);
  bool CallIdle();
  bool CallConnected();

  bool FWaitForCall = false;
  bool FDeviceDirectAccess = false;
  bool FShowNoModemsDialog = true;
  bool FShowErrorDialogs = false;
  void* FParentForm = nullptr;
  std::string FModemTermConfig;
  bool FDTMFOnly = false;
  bool FDTMFSendAccessNumber = false;
  std::string FDTMFScript;
  std::string FDTMFMessage;
  std::string FDTMFPIN;
  TDialMethod FDialMethod = dmTone;
  std::string FPinNumber;
  std::string FInitString = "ATZ";
  int32_t FMaxMessagesPerCall = 0;
  int32_t FMsgLength = 140;
  std::string FMessage;
  std::string FPassword;
  bool FUseModem = true;
  bool FNumericOnly = false;
  std::string FSendResult;
  std::string FErrorStr;
  TDeliveryCommand FETAPCommand = dcTap;
  std::string FETapMsgID;
  std::string FETapMsgExpire;
  std::string FETapMsgSchedule;
  TSMSType FSMSType = stNone;
  bool FSendReverseOrder = false;
  bool FDisplayMsgBreaks = true;
  bool FTurncateMsgs = false;
  TAComPortNumber FComPort = pnaCOM2;

  bool FInitialized = false;
  int32_t FClaimedInstance = -1;
  platform::HLINEAPP FLineApp = 0;
  uint32_t FNumDevs = 0;
  bool FCommAttached = false;
  std::array<int32_t, kRequests> FRequests{};
  // Three manual-reset events, created signalled. Nothing here resets them:
  // the port I/O they served waits in its own way.
  std::array<bool, 3> FEventSignalled{true, true, true};
  std::unique_ptr<TDialingForm> FDialingForm;
  TStatusPanel FStatusPanel;
  MessageSink* FSink = nullptr;
};

}  // namespace vltg::manager
