#pragma once
// The event log: each entry goes to syslog, tagged with its source, and is
// copied as one line to $VLTG_ROOT/eventlog/application.log, which tools and
// tests read back:
//
//   YYYY-MM-DD HH:MM:SS<TAB>Information<TAB>VLTAPGateway<TAB>DI DIZ Evevevu Strated
//
// Backslash, tab, CR and LF in the source and text are escaped, so an entry
// is always one line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltg::platform {

inline constexpr uint16_t EVENTLOG_ERROR_TYPE = 0x1;
inline constexpr uint16_t EVENTLOG_WARNING_TYPE = 0x2;
inline constexpr uint16_t EVENTLOG_INFORMATION_TYPE = 0x4;
inline constexpr uint16_t EVENTLOG_AUDIT_SUCCESS = 0x8;
inline constexpr uint16_t EVENTLOG_AUDIT_FAILURE = 0x10;

struct EventLogEntry {
  std::string time;  // local "YYYY-MM-DD HH:MM:SS"
  uint16_t type = EVENTLOG_INFORMATION_TYPE;
  std::string source;
  std::string text;

  bool operator==(const EventLogEntry&) const = default;
};

// $VLTG_ROOT/eventlog/application.log
std::filesystem::path EventLogFile();

// Writes the entry now. False when neither syslog nor the copy took it (the
// copy is what can fail: a directory that cannot be written).
bool ReportEvent(std::string_view source, uint16_t type, std::string_view text);

// Every entry of the copy, oldest first; lines that are not entries are skipped.
std::vector<EventLogEntry> ReadEventLog();

std::string FormatEventLogLine(const EventLogEntry& entry);
std::optional<EventLogEntry> ParseEventLogLine(std::string_view line);

}  // namespace vltg::platform
