#include "platform/service/event_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/base/line_escape.h"
#include "platform/base/machine_root.h"

namespace vltg::platform {
namespace fs = std::filesystem;
namespace {

struct TypeName {
  uint16_t type;
  const char* name;
};

constexpr TypeName kTypeNames[] = {
    {EVENTLOG_ERROR_TYPE, "Error"},
    {EVENTLOG_WARNING_TYPE, "Warning"},
    {EVENTLOG_INFORMATION_TYPE, "Information"},
    {EVENTLOG_AUDIT_SUCCESS, "Audit Success"},
    {EVENTLOG_AUDIT_FAILURE, "Audit Failure"},
};

std::string TypeWord(uint16_t type) {
  for (const auto& entry : kTypeNames) {
    if (entry.type == type) return entry.name;
  }
  return std::to_string(type);
}

std::optional<uint16_t> TypeFromWord(std::string_view word) {
  for (const auto& entry : kTypeNames) {
    if (word == entry.name) return entry.type;
  }
  uint16_t value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || word.empty()) return std::nullopt;
  return value;
}

int SyslogPriority(uint16_t type) {
  switch (type) {
    case EVENTLOG_ERROR_TYPE:
    case EVENTLOG_AUDIT_FAILURE:
      return LOG_ERR;
    case EVENTLOG_WARNING_TYPE:
      return LOG_WARNING;
    default:
      return LOG_INFO;
  }
}

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// syslog keeps the identity pointer it is given, so the current one lives here.
std::mutex g_syslog_mutex;
std::string g_syslog_ident;

void WriteSyslog(std::string_view source, uint16_t type, std::string_view text) {
  std::lock_guard lock(g_syslog_mutex);
  if (g_syslog_ident != source) {
    closelog();
    g_syslog_ident.assign(source);
    openlog(g_syslog_ident.c_str(), LOG_PID | LOG_NDELAY, LOG_DAEMON);
  }
  const std::string message(text);
  syslog(SyslogPriority(type), "%s", message.c_str());
}

bool AppendCopy(const std::string& line) {
  const fs::path file = EventLogFile();
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write per entry: appends of different processes never interleave.
  ssize_t n;
  do {
    n = ::write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  return n == static_cast<ssize_t>(line.size());
}

}  // namespace

fs::path EventLogFile() { return MachineRoot() / "eventlog" / "application.log"; }

bool ReportEvent(std::string_view source, uint16_t type, std::string_view text) {
  WriteSyslog(source, type, text);
  return AppendCopy(FormatEventLogLine(EventLogEntry{LocalTimeText(), type, std::string(source), std::string(text)}));
}

std::vector<EventLogEntry> ReadEventLog() {
  std::vector<EventLogEntry> entries;
  std::ifstream in(EventLogFile(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (auto entry = ParseEventLogLine(line)) entries.push_back(std::move(*entry));
  }
  return entries;
}

std::string FormatEventLogLine(const EventLogEntry& entry) {
  std::string line = entry.time;
  line += '\t';
  line += TypeWord(entry.type);
  line += '\t';
  AppendLineEscaped(line, entry.source);
  line += '\t';
  AppendLineEscaped(line, entry.text);
  line += '\n';
  return line;
}

std::optional<EventLogEntry> ParseEventLogLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  std::string_view fields[4];
  for (int i = 0; i < 3; ++i) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    fields[i] = line.substr(0, tab);
    line.remove_prefix(tab + 1);
  }
  fields[3] = line;
  if (fields[3].find('\t') != std::string_view::npos) return std::nullopt;
  const auto type = TypeFromWord(fields[1]);
  const auto source = UnescapeLine(fields[2]);
  const auto text = UnescapeLine(fields[3]);
  if (!type || !source || !text || fields[0].empty()) return std::nullopt;
  return EventLogEntry{std::string(fields[0]), *type, *source, *text};
}

}  // namespace vltg::platform
