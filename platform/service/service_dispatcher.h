#pragma once
// The service program's side of the service layer. A program started by the
// layer finds its control channel in its environment; the dispatcher takes
// it, runs the service entry in a thread of its own, passes control requests
// to the registered handler and answers queries with the last status the
// service reported. It returns when the service entry has returned.
//
// A program started by hand has no channel: the dispatcher then fails at
// once with ERROR_FAILED_SERVICE_CONTROLLER_CONNECT (1063), and the program
// is expected to end without running.
//
// SIGTERM, which is how the system asks every process to end when it shuts
// down, becomes the shutdown control for a service that accepts it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service/service_types.h"

namespace vltg::platform {

struct DispatcherState;

// The service entry; its arguments begin with the service name.
using ServiceMainFunction = std::function<void(const std::vector<std::string>& args)>;
// Called in the dispatcher's thread for each control code; it should only
// pass the code on (the service answers by reporting its status).
using ServiceControlHandler = std::function<void(uint32_t control)>;

class ServiceStatusHandle {
 public:
  ServiceStatusHandle() = default;
  explicit operator bool() const { return state_ != nullptr; }

 private:
  friend ServiceStatusHandle RegisterServiceCtrlHandler(std::string_view, ServiceControlHandler);
  friend bool SetServiceStatus(const ServiceStatusHandle&, const ServiceStatus&);
  explicit ServiceStatusHandle(std::shared_ptr<DispatcherState> state) : state_(std::move(state)) {}
  std::shared_ptr<DispatcherState> state_;
};

// Blocks until the service entry has returned. False, with GetLastError(),
// when the process was not started by the service layer (1063) or a
// dispatcher already runs (1056).
bool StartServiceCtrlDispatcher(std::string_view service_name, ServiceMainFunction service_main);
// The same on a listening channel socket that the caller hands over (the
// dispatcher closes it).
bool RunServiceDispatcher(int channel_fd, std::string_view service_name, ServiceMainFunction service_main);

// From the service entry. An empty handle (ERROR_SERVICE_DOES_NOT_EXIST) when
// no dispatcher runs the named service.
ServiceStatusHandle RegisterServiceCtrlHandler(std::string_view service_name, ServiceControlHandler handler);
// Records the status that queries and control replies carry; any thread.
// ERROR_INVALID_DATA for a state outside 1 to 7.
bool SetServiceStatus(const ServiceStatusHandle& handle, const ServiceStatus& status);

}  // namespace vltg::platform
