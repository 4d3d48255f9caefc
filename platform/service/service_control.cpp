#include "platform/service/service_control.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

#include "platform/base/ascii_text.h"
#include "platform/base/machine_root.h"
#include "platform/base/system_error.h"
#include "platform/service/detached_spawn.h"
#include "platform/service/service_account.h"
#include "platform/service/service_channel.h"

extern char** environ;

namespace vltg::platform {
namespace fs = std::filesystem;

namespace {

std::atomic<int> g_start_timeout_ms{30000};

// The dispatcher waits up to a second for the service's answer to a control.
constexpr int kControlReplyTimeoutMs = kChannelReplyTimeoutMs + 1000;

bool Fail(uint32_t error) {
  SetLastError(error);
  return false;
}

ServiceStatus StoppedStatus(uint32_t service_type) {
  ServiceStatus status;
  status.service_type = service_type;
  return status;
}

// The service's state as its channel tells it: stopped when nobody listens.
bool ChannelStatus(const ServiceDatabase& db, std::string_view name, uint32_t service_type, ServiceStatus& status,
                   uint32_t& error) {
  ChannelReply reply;
  int socket_error = 0;
  switch (AskChannel(db.ChannelPath(name), ChannelRequest{}, kChannelReplyTimeoutMs, reply, socket_error)) {
    case ChannelOutcome::kReply:
      if (reply.error != 0) {
        error = reply.error;
        return false;
      }
      status = reply.status;
      return true;
    case ChannelOutcome::kNotListening:
    case ChannelOutcome::kClosed:
      status = StoppedStatus(service_type);
      return true;
    case ChannelOutcome::kNoAnswer:
      error = ERROR_SERVICE_REQUEST_TIMEOUT;
      return false;
    case ChannelOutcome::kFailed:
      break;
  }
  error = ErrnoToSystemError(socket_error);
  return false;
}

bool CurrentStatus(const ServiceDatabase& db, const ServiceRecord& record, ServiceStatus& status, uint32_t& error) {
  return ChannelStatus(db, record.config.service_name, record.config.service_type, status, error);
}

bool IsActive(const ServiceDatabase& db, std::string_view name) {
  ServiceStatus status;
  uint32_t error = 0;
  // A service that does not answer still holds its channel: it counts as active.
  return !ChannelStatus(db, name, SERVICE_WIN32_OWN_PROCESS, status, error) || status.current_state != SERVICE_STOPPED;
}

// Removes a record marked for deletion once its service has stopped. Called
// under the database lock.
void SweepIfDeleted(const ServiceDatabase& db, const ServiceRecord& record) {
  if (record.delete_pending && !IsActive(db, record.config.service_name)) db.Remove(record.config.service_name);
}

// Another service already uses the name as its name or display name.
bool DisplayNameTaken(const ServiceDatabase& db, const ServiceConfig& config) {
  for (const auto& other : db.ReadAll()) {
    if (EqualsIgnoreCase(other.config.service_name, config.service_name)) continue;
    if (EqualsIgnoreCase(other.config.service_name, config.display_name) ||
        EqualsIgnoreCase(other.config.display_name, config.display_name) ||
        EqualsIgnoreCase(other.config.display_name, config.service_name)) {
      return true;
    }
  }
  return false;
}

// The record of a service about to be changed, read under the database lock;
// nothing, with the last error set, when it is missing or marked for deletion.
std::optional<ServiceRecord> RecordToChange(const ServiceDatabase& db, const FileLock& lock, std::string_view name) {
  if (!lock.Held()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  uint32_t error = 0;
  auto record = db.Read(name, error);
  if (!record) {
    SetLastError(error);
  } else if (record->delete_pending) {
    SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
    return std::nullopt;
  }
  return record;
}

std::vector<std::string> ServiceEnvironment(std::string_view name, const ServiceAccount& account) {
  auto starts_with = [](const char* entry, std::string_view prefix) {
    return std::string_view(entry).substr(0, prefix.size()) == prefix;
  };
  std::vector<std::string> env;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (starts_with(*entry, std::string(kServiceChannelVariable) + "=") ||
        starts_with(*entry, std::string(kServiceNameVariable) + "=") || starts_with(*entry, "VLTG_ROOT=")) {
      continue;
    }
    if (account.switch_user && (starts_with(*entry, "HOME=") || starts_with(*entry, "USER=") ||
                                starts_with(*entry, "LOGNAME=") || starts_with(*entry, "SHELL="))) {
      continue;
    }
    env.emplace_back(*entry);
  }
  std::error_code ec;
  const fs::path root = fs::absolute(MachineRoot(), ec);
  env.push_back("VLTG_ROOT=" + (ec ? MachineRoot() : root).string());
  env.push_back(std::string(kServiceNameVariable) + "=" + std::string(name));
  env.push_back(std::string(kServiceChannelVariable) + "=3");
  if (account.switch_user) {
    env.push_back("HOME=" + account.home);
    env.push_back("USER=" + account.name);
    env.push_back("LOGNAME=" + account.name);
    env.push_back("SHELL=" + account.shell);
  }
  return env;
}

}  // namespace

// The operations that reach into the handles.
class ServiceOperations {
 public:
  static const ServiceDatabase& Db(const ScManagerHandle& h) { return *h.db_; }
  static const ServiceDatabase& Db(const ServiceHandle& h) { return *h.db_; }
  static ServiceHandle Make(const ServiceDatabase& db, std::string name) { return ServiceHandle(db, std::move(name)); }
  static ScManagerHandle MakeManager(ServiceDatabase db) {
    ScManagerHandle handle;
    handle.db_ = std::move(db);
    return handle;
  }
};

ScManagerHandle OpenSCManager() {
  uint32_t error = 0;
  auto db = ServiceDatabase::Open(error);
  if (!db) {
    SetLastError(error);
    return {};
  }
  return ServiceOperations::MakeManager(std::move(*db));
}

ServiceHandle CreateService(const ScManagerHandle& manager, const ServiceConfig& requested) {
  if (!manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return {};
  }
  const ServiceDatabase& db = ServiceOperations::Db(manager);
  ServiceRecord record;
  record.config = requested;
  if (record.config.display_name.empty()) record.config.display_name = record.config.service_name;
  record.config.account = StoredAccountName(record.config.account);
  if (const uint32_t invalid = ValidateServiceConfig(record.config)) {
    SetLastError(invalid);
    return {};
  }
  const FileLock lock = db.Lock();
  if (!lock.Held()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
  }
  uint32_t error = 0;
  if (auto existing = db.Read(record.config.service_name, error)) {
    SweepIfDeleted(db, *existing);
    if (fs::exists(db.RecordPath(record.config.service_name))) {
      SetLastError(existing->delete_pending ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
      return {};
    }
  } else if (error != ERROR_SERVICE_DOES_NOT_EXIST) {
    SetLastError(error == ERROR_FILE_CORRUPT ? ERROR_SERVICE_EXISTS : error);
    return {};
  }
  if (DisplayNameTaken(db, record.config)) {
    SetLastError(ERROR_DUPLICATE_SERVICE_NAME);
    return {};
  }
  if (!db.Write(record, error)) {
    SetLastError(error);
    return {};
  }
  return ServiceOperations::Make(db, record.config.service_name);
}

ServiceHandle OpenService(const ScManagerHandle& manager, std::string_view name) {
  if (!manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return {};
  }
  const ServiceDatabase& db = ServiceOperations::Db(manager);
  uint32_t error = 0;
  auto record = db.Read(name, error);
  if (record && record->delete_pending) {
    const FileLock lock = db.Lock();
    SweepIfDeleted(db, *record);
    SetLastError(fs::exists(db.RecordPath(name)) ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_DOES_NOT_EXIST);
    return {};
  }
  if (!record) {
    // A record that cannot be read still stands for an installed service:
    // it opens, so that it can be stopped and deleted; what needs the
    // record fails with ERROR_FILE_CORRUPT.
    if (error == ERROR_FILE_CORRUPT) return ServiceOperations::Make(db, std::string(name));
    SetLastError(error);
    return {};
  }
  return ServiceOperations::Make(db, record->config.service_name);
}

bool StartService(const ServiceHandle& service) {
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  const ServiceDatabase& db = ServiceOperations::Db(service);
  uint32_t error = 0;
  const auto record = db.Read(service.Name(), error);
  if (!record) return Fail(error);
  if (record->delete_pending) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  if (record->config.start_type == SERVICE_DISABLED) return Fail(ERROR_SERVICE_DISABLED);

  // One start at a time: the check for a running instance and the binding
  // of the channel must not interleave with another starter's.
  const FileLock start_lock(db.StartLockPath(service.Name()));
  if (!start_lock.Held()) return Fail(ERROR_ACCESS_DENIED);
  ServiceStatus status;
  if (!CurrentStatus(db, *record, status, error)) {
    return Fail(error == ERROR_SERVICE_REQUEST_TIMEOUT ? ERROR_SERVICE_ALREADY_RUNNING : error);
  }
  if (status.current_state != SERVICE_STOPPED) return Fail(ERROR_SERVICE_ALREADY_RUNNING);

  const auto account = ResolveServiceAccount(record->config.account, error);
  if (!account) return Fail(error);

  const fs::path channel = db.ChannelPath(service.Name());
  ::unlink(channel.c_str());  // a stale channel of a service that died
  const int listener = ListenChannel(channel);
  if (listener < 0) return Fail(ErrnoToSystemError(errno));

  // The starter's request waits in the channel's backlog before the program
  // exists, so even a service that ends at once answers it on its way out.
  int socket_error = 0;
  const int connection = ConnectChannel(channel);
  if (connection < 0 ||
      SendChannelRequest(connection, ChannelRequest{}, kChannelReplyTimeoutMs, socket_error) != ChannelOutcome::kReply) {
    const uint32_t failure = ErrnoToSystemError(connection < 0 ? errno : socket_error);
    if (connection >= 0) ::close(connection);
    ::close(listener);
    ::unlink(channel.c_str());
    return Fail(failure);
  }

  DetachedSpawn spawn;
  spawn.program = record->config.binary_path;
  spawn.working_directory = fs::path(spawn.program).parent_path().string();
  spawn.environment = ServiceEnvironment(record->config.service_name, *account);
  spawn.inherited_fd = listener;
  spawn.account = *account;
  const SpawnResult spawned = SpawnDetached(spawn);
  ::close(listener);
  if (spawned.error != 0) {
    ::close(connection);
    ::unlink(channel.c_str());
    return Fail(ErrnoToSystemError(spawned.error));
  }
  ChannelReply reply;
  const ChannelOutcome outcome = ReadChannelReply(connection, g_start_timeout_ms.load(), reply, socket_error);
  ::close(connection);
  if (outcome == ChannelOutcome::kReply && reply.error == 0) return true;
  // No report in time, or the program ended without one: it is no service
  // of ours, and it does not keep the channel.
  ::kill(spawned.pid, SIGKILL);
  ::unlink(channel.c_str());
  return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
}

bool ControlService(const ServiceHandle& service, uint32_t control, ServiceStatus& status) {
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  if (control == 0 || control > SERVICE_CONTROL_USER_LAST) return Fail(ERROR_INVALID_PARAMETER);
  const ServiceDatabase& db = ServiceOperations::Db(service);
  uint32_t error = 0;
  const auto record = db.Read(service.Name(), error);
  // A running service takes its controls without its record: one whose
  // record cannot be read can still be stopped.
  if (!record && error != ERROR_FILE_CORRUPT) return Fail(error);
  const uint32_t service_type = record ? record->config.service_type : SERVICE_WIN32_OWN_PROCESS;
  ChannelReply reply;
  int socket_error = 0;
  switch (AskChannel(db.ChannelPath(service.Name()), ChannelRequest{ChannelRequest::Kind::kControl, control},
                     kControlReplyTimeoutMs, reply, socket_error)) {
    case ChannelOutcome::kReply:
      if (reply.error == 0) {
        status = reply.status;
        return true;
      }
      if (reply.error == ERROR_SERVICE_NOT_ACTIVE) {
        status = StoppedStatus(service_type);
      } else {
        ChannelStatus(db, service.Name(), service_type, status, error);
      }
      return Fail(reply.error);
    case ChannelOutcome::kNotListening:
    case ChannelOutcome::kClosed:
      status = StoppedStatus(service_type);
      return Fail(ERROR_SERVICE_NOT_ACTIVE);
    case ChannelOutcome::kNoAnswer:
      return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
    case ChannelOutcome::kFailed:
      break;
  }
  return Fail(ErrnoToSystemError(socket_error));
}

bool QueryServiceStatus(const ServiceHandle& service, ServiceStatus& status) {
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  const ServiceDatabase& db = ServiceOperations::Db(service);
  uint32_t error = 0;
  const auto record = db.Read(service.Name(), error);
  if (!record) return Fail(error);
  if (!CurrentStatus(db, *record, status, error)) return Fail(error);
  return true;
}

bool QueryServiceConfig(const ServiceHandle& service, ServiceConfig& config) {
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  uint32_t error = 0;
  const auto record = ServiceOperations::Db(service).Read(service.Name(), error);
  if (!record) return Fail(error);
  config = record->config;
  return true;
}

bool ChangeServiceConfig(const ServiceHandle& service, const ServiceConfigChange& change) {
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  const ServiceDatabase& db = ServiceOperations::Db(service);
  const FileLock lock = db.Lock();
  auto record = RecordToChange(db, lock, service.Name());
  if (!record) return false;
  ServiceConfig& c = record->config;
  if (change.service_type != SERVICE_NO_CHANGE) c.service_type = change.service_type;
  if (change.start_type != SERVICE_NO_CHANGE) c.start_type = change.start_type;
  if (change.error_control != SERVICE_NO_CHANGE) c.error_control = change.error_control;
  if (change.binary_path) c.binary_path = *change.binary_path;
  if (change.account) c.account = StoredAccountName(*change.account);
  if (change.password) c.password = *change.password;
  if (change.display_name) c.display_name = change.display_name->empty() ? c.service_name : *change.display_name;
  if (const uint32_t invalid = ValidateServiceConfig(c)) return Fail(invalid);
  if (change.display_name && DisplayNameTaken(db, c)) return Fail(ERROR_DUPLICATE_SERVICE_NAME);
  uint32_t error = 0;
  if (!db.Write(*record, error)) return Fail(error);
  return true;
}

bool DeleteService(const ServiceHandle& service) {
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  const ServiceDatabase& db = ServiceOperations::Db(service);
  const FileLock lock = db.Lock();
  auto record = RecordToChange(db, lock, service.Name());
  // A record that cannot be read cannot carry the deletion mark either: it
  // goes at once, unless its service still runs (that is stopped first).
  if (!record && (!lock.Held() || GetLastError() != ERROR_FILE_CORRUPT)) return false;
  if (!IsActive(db, service.Name())) {
    const uint32_t error = db.Remove(service.Name());
    return error == 0 || Fail(error);
  }
  if (!record) return Fail(ERROR_SERVICE_ALREADY_RUNNING);
  record->delete_pending = true;
  uint32_t error = 0;
  if (!db.Write(*record, error)) return Fail(error);
  return true;
}

std::vector<std::string> EnumServiceNames(const ScManagerHandle& manager) {
  std::vector<std::string> names;
  if (!manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return names;
  }
  const ServiceDatabase& db = ServiceOperations::Db(manager);
  const FileLock lock = db.Lock();
  for (const auto& record : db.ReadAll()) {
    SweepIfDeleted(db, record);
    if (fs::exists(db.RecordPath(record.config.service_name))) names.push_back(record.config.service_name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void SetServiceStartTimeout(int ms) { g_start_timeout_ms = ms; }

}  // namespace vltg::platform
