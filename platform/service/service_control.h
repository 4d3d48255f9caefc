#pragma once
// The service control manager's operations, over the service database and
// each running service's control channel. Each operation returns false (or
// an empty handle) on failure and leaves the reason in GetLastError(), with
// the codes callers of the Windows service functions expect:
//
//   OpenSCManager        5 the database cannot be used
//   CreateService        1073 exists, 1078 display name taken, 123 bad name, 87 bad value
//   OpenService          1060 does not exist, 1072 marked for deletion
//   StartService         1056 already running, 1053 no status report in time, 1058 disabled,
//                        1069 the account cannot be used, 2 no such program
//   ControlService       1062 not active, 1052 a control it does not accept,
//                        1061 it cannot take controls now (a pending state)
//   DeleteService        1072 already marked
//
// A service whose record cannot be read (not parsed, not readable) opens as
// installed. What needs the record (query, configuration, start) then fails
// with 1392; a control still reaches it while it runs; DeleteService removes
// the record at once, or fails with 1056 while the service still runs.
//
// Starting spawns the registered program detached, hands it the control
// channel (named in its environment) and waits for its first status report.
// A service whose process has died reads as stopped. A service deleted while
// it runs is marked and goes once it has stopped.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service/service_database.h"
#include "platform/service/service_types.h"

namespace vltg::platform {

// The environment entries a started service finds: the channel descriptor
// and its service name.
inline constexpr char kServiceChannelVariable[] = "VLTG_SERVICE_CHANNEL";
inline constexpr char kServiceNameVariable[] = "VLTG_SERVICE_NAME";

// An open service database.
class ScManagerHandle {
 public:
  ScManagerHandle() = default;
  explicit operator bool() const { return db_.has_value(); }

 private:
  friend ScManagerHandle OpenSCManager();
  friend class ServiceHandle;
  friend class ServiceOperations;
  std::optional<ServiceDatabase> db_;
};

// An open service: its database and its name as recorded.
class ServiceHandle {
 public:
  ServiceHandle() = default;
  explicit operator bool() const { return db_.has_value(); }
  const std::string& Name() const { return name_; }

 private:
  friend class ServiceOperations;
  ServiceHandle(const ServiceDatabase& db, std::string name) : db_(db), name_(std::move(name)) {}
  std::optional<ServiceDatabase> db_;
  std::string name_;
};

ScManagerHandle OpenSCManager();
ServiceHandle CreateService(const ScManagerHandle& manager, const ServiceConfig& config);
ServiceHandle OpenService(const ScManagerHandle& manager, std::string_view name);
bool StartService(const ServiceHandle& service);
// The status is filled on success and, where it is known, on failure.
bool ControlService(const ServiceHandle& service, uint32_t control, ServiceStatus& status);
bool QueryServiceStatus(const ServiceHandle& service, ServiceStatus& status);
bool QueryServiceConfig(const ServiceHandle& service, ServiceConfig& config);
bool ChangeServiceConfig(const ServiceHandle& service, const ServiceConfigChange& change);
bool DeleteService(const ServiceHandle& service);
// Handles hold no resources; closing only empties them.
template <typename Handle>
void CloseServiceHandle(Handle& handle) {
  handle = Handle();
}

// The recorded names of every service, in name order.
std::vector<std::string> EnumServiceNames(const ScManagerHandle& manager);

// How long StartService waits for the first status report (30000 ms unless set).
void SetServiceStartTimeout(int ms);

}  // namespace vltg::platform
