#include "platform/service/service_database.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>

#include "platform/base/ascii_text.h"
#include "platform/base/line_escape.h"
#include "platform/base/machine_root.h"
#include "platform/base/system_error.h"
#include "platform/base/whole_file.h"

namespace vltg::platform {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kMaxNameLength = 256;
constexpr std::size_t kMaxPlainStem = 64;
constexpr char kRecordSuffix[] = ".svc";

std::optional<uint32_t> ParseNumber(std::string_view text) {
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The record file's bytes; nothing when it is missing or cannot be read.
std::optional<std::string> ReadRecordFile(const fs::path& path) {
  try {
    return ReadWholeFile(path);
  } catch (const EFileError&) {
    return std::nullopt;
  }
}

}  // namespace

std::string FormatServiceRecord(const ServiceRecord& record) {
  const ServiceConfig& c = record.config;
  std::string out;
  auto text = [&out](const char* key, std::string_view value) {
    out += key;
    out += '=';
    AppendLineEscaped(out, value);
    out += '\n';
  };
  auto number = [&out](const char* key, uint32_t value) {
    out += key;
    out += '=';
    out += std::to_string(value);
    out += '\n';
  };
  text("Name", c.service_name);
  text("DisplayName", c.display_name);
  number("Type", c.service_type);
  number("Start", c.start_type);
  number("ErrorControl", c.error_control);
  text("ImagePath", c.binary_path);
  text("ObjectName", c.account);
  text("Password", c.password);
  number("DeletePending", record.delete_pending ? 1 : 0);
  return out;
}

std::optional<ServiceRecord> ParseServiceRecord(std::string_view text) {
  ServiceRecord record;
  ServiceConfig& c = record.config;
  bool have_name = false, have_path = false, have_type = false, have_start = false, have_error = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, eq);
    const auto value = UnescapeLine(line.substr(eq + 1));
    if (!value) return std::nullopt;
    auto number = [&](uint32_t& field, bool& seen) {
      const auto parsed = ParseNumber(*value);
      if (!parsed) return false;
      field = *parsed;
      seen = true;
      return true;
    };
    bool ok = true;
    if (key == "Name") {
      c.service_name = *value;
      have_name = true;
    } else if (key == "DisplayName") {
      c.display_name = *value;
    } else if (key == "Type") {
      ok = number(c.service_type, have_type);
    } else if (key == "Start") {
      ok = number(c.start_type, have_start);
    } else if (key == "ErrorControl") {
      ok = number(c.error_control, have_error);
    } else if (key == "ImagePath") {
      c.binary_path = *value;
      have_path = true;
    } else if (key == "ObjectName") {
      c.account = *value;
    } else if (key == "Password") {
      c.password = *value;
    } else if (key == "DeletePending") {
      bool seen = false;
      uint32_t flag = 0;
      ok = number(flag, seen);
      record.delete_pending = flag != 0;
    }
    if (!ok) return std::nullopt;
  }
  if (!have_name || !have_path || !have_type || !have_start || !have_error) return std::nullopt;
  if (ValidateServiceName(c.service_name) != 0) return std::nullopt;
  return record;
}

uint32_t ValidateServiceName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return ERROR_INVALID_NAME;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return ERROR_INVALID_NAME;
  }
  return 0;
}

uint32_t ValidateServiceConfig(const ServiceConfig& config) {
  if (const uint32_t error = ValidateServiceName(config.service_name)) return error;
  const uint32_t process_type = config.service_type & ~SERVICE_INTERACTIVE_PROCESS;
  if (process_type != SERVICE_WIN32_OWN_PROCESS && process_type != SERVICE_WIN32_SHARE_PROCESS) {
    return ERROR_INVALID_PARAMETER;
  }
  if (config.start_type < SERVICE_AUTO_START || config.start_type > SERVICE_DISABLED) return ERROR_INVALID_PARAMETER;
  if (config.error_control > SERVICE_ERROR_CRITICAL) return ERROR_INVALID_PARAMETER;
  if (config.binary_path.empty() || config.binary_path.find('\0') != std::string::npos) {
    return ERROR_INVALID_PARAMETER;
  }
  return 0;
}

std::string ServiceFileStem(std::string_view name) {
  std::string stem = LowerAscii(name);
  if (stem.size() <= kMaxPlainStem) return stem;
  uint64_t hash = 1469598103934665603ULL;  // FNV-1a
  for (unsigned char c : stem) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char tail[24];
  std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
  return stem.substr(0, 40) + tail;
}

std::optional<ServiceDatabase> ServiceDatabase::Open(uint32_t& error) {
  const fs::path dir = MachineRoot() / "services";
  std::error_code ec;
  fs::create_directories(MachineRoot(), ec);
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = ERROR_ACCESS_DENIED;
    return std::nullopt;
  }
  if (::access(dir.c_str(), R_OK | W_OK | X_OK) != 0) {
    error = ERROR_ACCESS_DENIED;
    return std::nullopt;
  }
  return ServiceDatabase(dir);
}

fs::path ServiceDatabase::RecordPath(std::string_view name) const {
  return dir_ / (ServiceFileStem(name) + kRecordSuffix);
}

fs::path ServiceDatabase::ChannelPath(std::string_view name) const { return dir_ / (ServiceFileStem(name) + ".ctl"); }

fs::path ServiceDatabase::StartLockPath(std::string_view name) const {
  return dir_ / (ServiceFileStem(name) + ".lock");
}

FileLock ServiceDatabase::Lock() const { return FileLock(dir_ / ".lock"); }

std::optional<ServiceRecord> ServiceDatabase::Read(std::string_view name, uint32_t& error) const {
  if (ValidateServiceName(name) != 0) {
    error = ERROR_INVALID_NAME;
    return std::nullopt;
  }
  const fs::path path = RecordPath(name);
  const auto bytes = ReadRecordFile(path);
  if (!bytes) {
    // Anything at the path (a file no one may read, a directory, a link
    // to nowhere) is a record that cannot be read, not a missing one.
    std::error_code ec;
    error = fs::exists(fs::symlink_status(path, ec)) ? ERROR_FILE_CORRUPT : ERROR_SERVICE_DOES_NOT_EXIST;
    return std::nullopt;
  }
  auto record = ParseServiceRecord(*bytes);
  if (!record || !EqualsIgnoreCase(record->config.service_name, name)) {
    error = ERROR_FILE_CORRUPT;
    return std::nullopt;
  }
  return record;
}

bool ServiceDatabase::Write(const ServiceRecord& record, uint32_t& error) const {
  const fs::path target = RecordPath(record.config.service_name);
  try {
    // A new record is private; a failed write leaves no empty one behind.
    ReplaceWholeFile(target, FormatServiceRecord(record), fs::perms::owner_read | fs::perms::owner_write);
  } catch (const EFileError&) {
    error = errno != 0 ? ErrnoToSystemError(errno) : ERROR_ACCESS_DENIED;
    return false;
  }
  return true;
}

uint32_t ServiceDatabase::Remove(std::string_view name) const {
  if (::unlink(RecordPath(name).c_str()) != 0 && errno != ENOENT) return ErrnoToSystemError(errno);
  ::unlink(ChannelPath(name).c_str());
  ::unlink(StartLockPath(name).c_str());
  return 0;
}

std::vector<ServiceRecord> ServiceDatabase::ReadAll() const {
  std::vector<ServiceRecord> records;
  std::error_code ec;
  for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= 4 || file.compare(file.size() - 4, 4, kRecordSuffix) != 0) continue;
    const auto bytes = ReadRecordFile(it->path());
    if (!bytes) continue;
    auto record = ParseServiceRecord(*bytes);
    if (record && ServiceFileStem(record->config.service_name) + kRecordSuffix == file) {
      records.push_back(std::move(*record));
    }
  }
  return records;
}

}  // namespace vltg::platform
