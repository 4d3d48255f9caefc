#pragma once
// TService: one service of a service program. The service layer calls its
// entry (Main) through the dispatcher; Main registers the control handler,
// reports start pending, runs the service thread and reports running, and
// reports stopped once the thread has ended. The service thread runs the
// execute handler, which pumps the thread's requests: control codes arrive
// there as the thread message CM_SERVICE_CONTROL_CODE (1025), posted by the
// control handler, which does nothing else.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/message_queue.h"
#include "platform/service/event_log.h"
#include "platform/service/service_dispatcher.h"
#include "platform/service/service_types.h"

namespace vltg::platform {

class TService;

// The plain control-handler function a service hands to the layer; it
// forwards the code to the service instance (TService::Controller).
using ServiceControllerFunction = void (*)(uint32_t control);
using ServiceExecuteEvent = std::function<void(TService& sender)>;

class TService {
 public:
  static constexpr uint32_t CM_SERVICE_CONTROL_CODE = 1025;

  TService(std::string name, std::string display_name);
  virtual ~TService();
  TService(const TService&) = delete;
  TService& operator=(const TService&) = delete;

  const std::string& GetName() const { return name_; }
  const std::string& GetDisplayName() const { return display_name_; }
  // SERVICE_WIN32_OWN_PROCESS unless set (with SERVICE_INTERACTIVE_PROCESS when wanted).
  uint32_t GetServiceType() const { return service_type_; }
  void SetServiceType(uint32_t type) { service_type_ = type; }
  // SERVICE_AUTO_START unless set.
  uint32_t GetStartType() const { return start_type_; }
  void SetStartType(uint32_t type) { start_type_ = type; }
  // SERVICE_ERROR_NORMAL unless set.
  uint32_t GetErrorSeverity() const { return error_severity_; }
  void SetErrorSeverity(uint32_t severity) { error_severity_ = severity; }
  // The account to install under; empty: the local system account.
  const std::string& GetServiceStartName() const { return start_name_; }
  void SetServiceStartName(std::string name) { start_name_ = std::move(name); }
  const std::string& GetPassword() const { return password_; }
  void SetPassword(std::string password) { password_ = std::move(password); }
  // Stop accepted (true unless set); pause and continue never are.
  bool GetAllowStop() const { return allow_stop_; }
  void SetAllowStop(bool allow) { allow_stop_ = allow; }
  // Reported with every pending state; 5000 ms unless set.
  uint32_t GetWaitHint() const { return wait_hint_; }
  void SetWaitHint(uint32_t ms) { wait_hint_ = ms; }
  // The service's own exit code: non-zero reports a service-specific error (1066).
  uint32_t GetErrCode() const { return err_code_; }
  void SetErrCode(uint32_t code) { err_code_ = code; }
  uint32_t GetWin32ErrCode() const { return win32_err_code_; }
  void SetWin32ErrCode(uint32_t code) { win32_err_code_ = code; }

  // Runs in the service thread; without one the thread only pumps requests
  // until it is told to stop.
  ServiceExecuteEvent OnExecute;

  // The function the layer calls with each control code.
  virtual ServiceControllerFunction GetServiceController() const = 0;
  // Queues the control code to the service thread.
  void Controller(uint32_t control);
  // The service entry, called by the dispatcher.
  void Main(const std::vector<std::string>& args);

  // Service thread: a stop or shutdown control has been handled.
  bool GetTerminated() const { return terminated_; }
  // Service thread: handles the pending control codes and every other
  // message of the thread; waits for one first when asked to.
  void ProcessRequests(bool wait_for_message);

  uint32_t GetStatus() const;
  // Records the state and reports it.
  void SetStatus(uint32_t state);
  // Reports the current status again. A report the layer refuses is written
  // to the event log as an error.
  void ReportStatus();

  // Writes the text to the event log under the service's name.
  void LogMessage(const std::string& message, uint16_t event_type = EVENTLOG_ERROR_TYPE) const;

 private:
  void RunServiceThread();
  void HandleControlCode(uint32_t control);

  const std::string name_;
  const std::string display_name_;
  uint32_t service_type_ = SERVICE_WIN32_OWN_PROCESS;
  uint32_t start_type_ = SERVICE_AUTO_START;
  uint32_t error_severity_ = SERVICE_ERROR_NORMAL;
  std::string start_name_;
  std::string password_;
  bool allow_stop_ = true;
  uint32_t wait_hint_ = 5000;

  mutable std::mutex mutex_;  // the status fields and the thread reference
  uint32_t status_ = SERVICE_STOPPED;
  uint32_t check_point_ = 0;
  ServiceStatusHandle status_handle_;
  ThreadRef service_thread_ref_;
  bool service_thread_started_ = false;
  std::condition_variable service_thread_started_changed_;

  std::atomic<uint32_t> err_code_{0};
  std::atomic<uint32_t> win32_err_code_{0};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> execute_failed_{false};
};

}  // namespace vltg::platform
