#include "platform/service/service.h"

#include <exception>

#include "platform/base/system_error.h"

namespace vltg::platform {
namespace {

const char* ControlStep(uint32_t control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return "stop";
    case SERVICE_CONTROL_PAUSE:
      return "pause";
    case SERVICE_CONTROL_CONTINUE:
      return "continue";
    case SERVICE_CONTROL_INTERROGATE:
      return "interrogate";
    case SERVICE_CONTROL_SHUTDOWN:
      return "shutdown";
    default:
      return "control";
  }
}

std::string CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

bool IsPendingState(uint32_t state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_CONTINUE_PENDING ||
         state == SERVICE_PAUSE_PENDING;
}

}  // namespace

TService::TService(std::string name, std::string display_name)
    : name_(std::move(name)), display_name_(std::move(display_name)) {}

TService::~TService() = default;

void TService::Controller(uint32_t control) {
  ThreadRef thread;
  {
    std::lock_guard lock(mutex_);
    thread = service_thread_ref_;
  }
  thread.PostThreadMessage(CM_SERVICE_CONTROL_CODE, control);
}

void TService::Main(const std::vector<std::string>&) {
  const ServiceControllerFunction controller = GetServiceController();
  const ServiceStatusHandle handle = RegisterServiceCtrlHandler(name_, [controller](uint32_t control) {
    if (controller != nullptr) controller(control);
  });
  if (!handle) {
    LogMessage(SystemErrorMessage(GetLastError()));
    return;
  }
  {
    std::lock_guard lock(mutex_);
    status_handle_ = handle;
  }
  std::thread service_thread;
  try {
    SetStatus(SERVICE_START_PENDING);
    service_thread = std::thread([this] { RunServiceThread(); });
    {
      std::unique_lock lock(mutex_);
      service_thread_started_changed_.wait(lock, [this] { return service_thread_started_; });
    }
    SetStatus(SERVICE_RUNNING);
  } catch (...) {
    LogMessage("Service failed on start: " + CurrentExceptionText());
    execute_failed_ = true;
  }
  if (service_thread.joinable()) service_thread.join();
  {
    std::lock_guard lock(mutex_);
    service_thread_ref_ = ThreadRef();
  }
  // A failure is reported as the service's own error.
  if (execute_failed_ && err_code_ == 0) err_code_ = 1;
  SetStatus(SERVICE_STOPPED);
}

void TService::RunServiceThread() {
  SetThreadMessageHandler([this](uint32_t msg, uintptr_t wparam, intptr_t) {
    if (msg == CM_SERVICE_CONTROL_CODE) HandleControlCode(static_cast<uint32_t>(wparam));
  });
  {
    std::lock_guard lock(mutex_);
    service_thread_ref_ = CurrentThread();
    service_thread_started_ = true;
  }
  service_thread_started_changed_.notify_all();
  try {
    if (OnExecute) {
      OnExecute(*this);
    } else {
      while (!terminated_) ProcessRequests(true);
    }
  } catch (...) {
    LogMessage("Service failed on execute: " + CurrentExceptionText());
    execute_failed_ = true;
  }
  SetThreadMessageHandler(nullptr);
}

void TService::HandleControlCode(uint32_t control) {
  try {
    switch (control) {
      case SERVICE_CONTROL_STOP:
      case SERVICE_CONTROL_SHUTDOWN:
        SetStatus(SERVICE_STOP_PENDING);
        terminated_ = true;
        break;
      case SERVICE_CONTROL_INTERROGATE:
        ReportStatus();
        break;
      default:
        // Pause and continue are never accepted; the service has no codes of its own.
        break;
    }
  } catch (...) {
    LogMessage(std::string("Service failed on ") + ControlStep(control) + ": " + CurrentExceptionText());
  }
}

void TService::ProcessRequests(bool wait_for_message) {
  if (wait_for_message) {
    WaitMessage(-1);
  } else {
    ProcessMessages();
  }
}

uint32_t TService::GetStatus() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void TService::SetStatus(uint32_t state) {
  {
    std::lock_guard lock(mutex_);
    status_ = state;
  }
  ReportStatus();
}

void TService::ReportStatus() {
  ServiceStatus status;
  ServiceStatusHandle handle;
  {
    std::lock_guard lock(mutex_);
    handle = status_handle_;
    status.service_type = service_type_;
    status.current_state = status_;
    if (status_ != SERVICE_START_PENDING && status_ != SERVICE_STOPPED) {
      status.controls_accepted = (allow_stop_ ? SERVICE_ACCEPT_STOP : 0) | SERVICE_ACCEPT_SHUTDOWN;
    }
    if (err_code_ != 0) {
      status.win32_exit_code = ERROR_SERVICE_SPECIFIC_ERROR;
      status.service_specific_exit_code = err_code_;
    } else {
      status.win32_exit_code = win32_err_code_;
    }
    if (IsPendingState(status_)) {
      status.check_point = ++check_point_;
      status.wait_hint = wait_hint_;
    } else {
      check_point_ = 0;
    }
  }
  if (!SetServiceStatus(handle, status)) LogMessage(SystemErrorMessage(GetLastError()));
}

void TService::LogMessage(const std::string& message, uint16_t event_type) const {
  ReportEvent(name_, event_type, message);
}

}  // namespace vltg::platform
