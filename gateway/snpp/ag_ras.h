#pragma once
// TagRas: connects the machine through a dial-up phone-book entry before a
// socket connects. A TSock whose RAS names one dials with it in Open.
//
// A TagRas, its dial notices and its countdown belong to the thread that
// created it, and so do the sockets that hold it: notices and ticks arrive
// only while that thread pumps. Texts that would be shown to the user go to
// ShowMessage instead.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/time_counter.h"
#include "gateway/snpp/ras_library.h"
#include "platform/base/exception.h"
#include "platform/messages/message_queue.h"

namespace vltg {

class TSock;

// A remote-access failure; the message is the system's text for the code.
class ERASError : public Exception {
 public:
  ERASError(int code, const RasLibrary& library);
  int GetCode() const { return code_; }

 private:
  int code_;
};

class ECanceledError : public Exception {
 public:
  ECanceledError() : Exception("Operation has been canceled") {}
};

class ETimedOutError : public Exception {
 public:
  ETimedOutError() : Exception("Operation timed out") {}
};

// The notice a dial posts to its component.
inline constexpr uint32_t WM_RASDIALEVENT = 0xC0DE;

class TagRas {
 public:
  using TRASNotifyEvent = std::function<void(TagRas& sender, const std::string& RASStatusStr)>;
  using TNotifyEvent = std::function<void(TagRas& sender)>;

  explicit TagRas(RasLibrary library = LoadRasLibrary());
  // Clears the component from every socket that holds it.
  ~TagRas();
  TagRas(const TagRas&) = delete;
  TagRas& operator=(const TagRas&) = delete;

  std::string GetService() const { return FService; }
  // Only an entry of the phone book can be set, and only while not connected;
  // a refusal goes to ShowMessage.
  void SetService(const std::string& value);
  std::string GetPassword() const { return FPassword; }
  void SetPassword(const std::string& value) { FPassword = value; }
  bool GetRemovePassword() const { return FRemovePassword; }
  void SetRemovePassword(bool value) { FRemovePassword = value; }
  bool GetForceService() const { return FForceService; }
  void SetForceService(bool value) { FForceService = value; }
  bool GetMinimizeAtConnect() const { return FMinimizeAtConnect; }
  void SetMinimizeAtConnect(bool value) { FMinimizeAtConnect = value; }
  // Seconds a dial may take.
  int GetTimeOut() const { return FCountdown.FStartValue; }
  void SetTimeOut(int value) { FCountdown.FStartValue = value; }
  bool GetConnected() const { return FConnected; }
  int GetLastError() const { return FLastError; }

  // Connects: an existing connection of the entry, or an empty Service,
  // counts at once; otherwise dials and waits, raising ERASError,
  // ECanceledError or ETimedOutError.
  void Dial();
  // Hangs up a connection this component dialled.
  void HangUp();
  // Hangs up and ends a dial in progress with ECanceledError.
  void Cancel();
  // Whether a connection of Service (or, without ForceService, any connection
  // with an IP address) is up; remembers it.
  bool FindConnection();
  bool RasAvailable() const { return !FEntries.empty(); }
  std::vector<std::string> RefreshEntries();
  // The progress text of a dial state.
  std::string StatusText(int state) const;

  TRASNotifyEvent OnStatusChange;
  TNotifyEvent OnDisconnected;
  std::function<void(const std::string& text)> ShowMessage;

 private:
  friend class TSock;
  static constexpr size_t kEntryRoom = 25;
  static constexpr size_t kConnectionRoom = 10;

  intptr_t WndProc(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  void MinimizeDialog();
  void Show(const std::string& text) const;
  // Stores a call's result; a failure raises it.
  void Check(int result);

  RasLibrary FLibrary;
  std::string FService;
  RasHandle FHandle = kNoRasConnection;
  std::unique_ptr<platform::MessageTarget> FWindow;
  bool FMinimizeAtConnect = false;
  bool FDialled = false;
  std::string FPassword;
  bool FRemovePassword = true;
  bool FForceService = true;
  int FLastError = 0;
  TTimeCounter FCountdown;
  bool FCancelled = false;
  bool FConnected = false;
  std::vector<std::string> FEntries;
  std::vector<TSock*> FHolders;  // sockets whose RAS this is
};

}  // namespace vltg
