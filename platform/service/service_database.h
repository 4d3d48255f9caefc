#pragma once
// The service database: one record file per service under
// $VLTG_ROOT/services, mode 0600 (it holds the account's password), replaced
// atomically on every write. Beside each record lie the service's control
// channel (a Unix socket, while the service runs) and its start lock.
//
// Service names match without regard to ASCII case, as the service control
// manager's do; the record keeps the name as it was created.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/file_lock.h"
#include "platform/service/service_types.h"

namespace vltg::platform {

struct ServiceRecord {
  ServiceConfig config;
  // DeleteService was called while the service ran: it goes when it stops.
  bool delete_pending = false;

  bool operator==(const ServiceRecord&) const = default;
};

// The record as text ("Key=Value" lines) and
// back (values escaped to one line). Parsing refuses a text without a valid
// name, program, type, start type and error control, or with a bad number.
std::string FormatServiceRecord(const ServiceRecord& record);
std::optional<ServiceRecord> ParseServiceRecord(std::string_view text);

// 0 when the name can name a service, else ERROR_INVALID_NAME: 1 to 256
// bytes, no slash, backslash or control character.
uint32_t ValidateServiceName(std::string_view name);
// 0 or ERROR_INVALID_PARAMETER / ERROR_INVALID_NAME for a record that cannot
// be stored (bad name, type, start type, error control, empty program).
uint32_t ValidateServiceConfig(const ServiceConfig& config);

// The file-name stem of a service's files: the lower-cased name, shortened
// with a hash when long so every path stays within the system's limits.
std::string ServiceFileStem(std::string_view name);

class ServiceDatabase {
 public:
  // $VLTG_ROOT/services, created (0700) when missing. Nothing, with
  // ERROR_ACCESS_DENIED, when it cannot be created, read and written.
  static std::optional<ServiceDatabase> Open(uint32_t& error);
  explicit ServiceDatabase(std::filesystem::path dir) : dir_(std::move(dir)) {}

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path RecordPath(std::string_view name) const;
  std::filesystem::path ChannelPath(std::string_view name) const;
  std::filesystem::path StartLockPath(std::string_view name) const;

  // The whole database's lock, for steps that check and then write.
  FileLock Lock() const;

  // ERROR_SERVICE_DOES_NOT_EXIST when there is nothing at the record's path,
  // ERROR_FILE_CORRUPT when what is there cannot be read, cannot be parsed or
  // belongs to another name.
  std::optional<ServiceRecord> Read(std::string_view name, uint32_t& error) const;
  // Replaces the record atomically, mode 0600.
  bool Write(const ServiceRecord& record, uint32_t& error) const;
  // Removes the record and the files beside it: 0, or the error that keeps
  // the record in place.
  uint32_t Remove(std::string_view name) const;
  // Every readable record; corrupt ones are skipped.
  std::vector<ServiceRecord> ReadAll() const;

 private:
  std::filesystem::path dir_;
};

}  // namespace vltg::platform
