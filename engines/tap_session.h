#pragma once
// The answering side of the TAP dialogue and the engine state it reads.
//
// TTapSession holds the published properties, fields and events that the
// dialogue uses; the TAP engine TKYRTap derives from it and adds the line, the
// COM port and the rest. RunTapSession talks to the caller only through the
// five TTapPort operations, so it runs on a real port or a scripted one alike,
// and every wait goes through the message layer (virtual time in tests).
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engines/tap_port.h"

namespace vltg {

// Style of the manual dialogue for a person typing at a terminal.
enum TManualEntryType { metGlenair, metHark };

class TTapSession;

// Events: Sender is the engine; by-reference arguments carry answers back.
using TProgressEvent = std::function<void(TTapSession& Sender, const std::string& Msg)>;
using TNoPageLoginEvent = std::function<void(TTapSession& Sender, const std::string& LoginRequested)>;
using TAccountVerifyEvent = std::function<void(TTapSession& Sender, const std::string& PIN, bool& Accept)>;
using TMsgReceivedEvent =
    std::function<void(TTapSession& Sender, const std::string& PIN, const std::string& Msg, std::string& ID,
                       std::string& HoldTime, std::string& ExpireTime, bool& Submitted)>;
using TETAPDataEvent =
    std::function<void(TTapSession& Sender, std::string& PIN, std::string& ID, std::string& Data, bool& Completed)>;
using TETAPUpdateEvent =
    std::function<void(TTapSession& Sender, std::string& PIN, std::string& ID, std::string& Rsp, std::string& Msg,
                       std::string& Valid, std::string& HoldTime, bool& Completed, bool Replace)>;

class TTapSession {
 public:
  explicit TTapSession(TTapPort& Port) : FPort(Port) {}
  virtual ~TTapSession() = default;
  TTapSession(const TTapSession&) = delete;
  TTapSession& operator=(const TTapSession&) = delete;

  // Runs the dialogue on the attached port until it ends. In direct-access
  // mode it serves one caller after another while WaitForCall stays True.
  // Nothing escapes it.
  void RunTapSession();

  // The three-character block checksum of Block (STX through the block end):
  // the byte sum's bits 11-8, 7-4 and 3-0, each added to "0".
  static std::string TapChecksum(const std::string& Block);

  // Answering on or off; the engine's setter also opens and closes the line.
  bool GetWaitForCall() const { return FWaitForCall; }
  virtual void SetWaitForCall(bool Value) { FWaitForCall = Value; }
  bool GetDeviceDirectAccess() const { return FDeviceDirectAccess; }
  void SetDeviceDirectAccess(bool Value) { FDeviceDirectAccess = Value; }
  // Direct-access port n opens "COMn"; a change is ignored while attached.
  int32_t GetComPort() const { return FComPort; }
  void SetComPort(int32_t Value) {
    if (!FCommAttached) FComPort = Value;
  }
  TManualEntryType GetManualEntryType() const { return FManualEntryType; }
  void SetManualEntryType(TManualEntryType Value) { FManualEntryType = Value; }
  // Banner sent when a caller chooses the manual dialogue.
  const std::string& GetManualEntryHeader() const { return FManualEntryHeader; }
  void SetManualEntryHeader(std::string Value) { FManualEntryHeader = std::move(Value); }
  // Logon password; empty means no password stage.
  const std::string& GetTapPassword() const { return FTapPassword; }
  void SetTapPassword(std::string Value) { FTapPassword = std::move(Value); }
  // Longest message taken; 0 (or less) means no limit.
  int32_t GetMaxMsgLength() const { return FMaxMsgLength; }
  void SetMaxMsgLength(int32_t Value) { FMaxMsgLength = Value; }
  // Cut over-long messages instead of refusing them.
  bool GetTurncateMsgs() const { return FTurncateMsgs; }
  void SetTurncateMsgs(bool Value) { FTurncateMsgs = Value; }
  // Accept ETAP options after the ")#*&(" marker of a message.
  bool GetETAP() const { return FETAP; }
  void SetETAP(bool Value) { FETAP = Value; }

  // A COM handle is attached; the dialogue stops whenever it finds it False.
  std::atomic<bool> FCommAttached{false};
  // The ETAP hold (S) and expiry (V) texts of the current page.
  std::string FHoldTime;
  std::string FExpireTime;

  TProgressEvent OnTapiProgress;
  TNoPageLoginEvent OnNoPageLogin;
  TAccountVerifyEvent OnAccountVerify;
  TMsgReceivedEvent OnMsgReceived;
  TETAPDataEvent ETAPDelete;
  TETAPDataEvent ETAPConfirm;
  TETAPUpdateEvent ETAPReplace;
  TETAPUpdateEvent ETAPUpdate;

 protected:
  std::atomic<bool> FWaitForCall{false};

 private:
  class TDialogue;

  TTapPort& FPort;
  std::atomic<bool> FDeviceDirectAccess{false};
  int32_t FComPort = 1;
  TManualEntryType FManualEntryType = metHark;
  std::string FManualEntryHeader;
  std::string FTapPassword;
  int32_t FMaxMsgLength = 0;
  bool FTurncateMsgs = true;
  bool FETAP = false;
};

}  // namespace vltg
