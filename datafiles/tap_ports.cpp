#include "datafiles/tap_ports.h"

#include <algorithm>

#include "datafiles/config_keys.h"
#include "platform/base/ascii_text.h"
#include "platform/profile/profile_integer.h"
#include "platform/profile/profile_text.h"

namespace vltg {

std::string TapPortKey(std::int32_t number) { return "Port" + std::to_string(number); }

std::optional<std::int32_t> TapPortNumber(std::string_view key) {
  if (key.size() < 4) return std::nullopt;
  return platform::ParseProfileInteger(platform::TrimBlanks(key.substr(4)));
}

std::vector<std::int32_t> TapPortNumbers(const std::vector<std::string>& keys) {
  std::vector<std::int32_t> numbers;
  for (size_t i = 0; i < keys.size() && i < static_cast<size_t>(kMaxTapPorts); ++i) {
    const std::optional<std::int32_t> number = TapPortNumber(keys[i]);
    if (number && *number >= 0 && *number <= kMaxTapPorts) numbers.push_back(*number);
  }
  return numbers;
}

std::vector<bool> TapPortEntriesRead(const std::vector<std::string>& keys) {
  std::vector<bool> read(keys.size(), false);
  for (const std::int32_t number : TapPortNumbers(keys)) {
    const std::string key = TapPortKey(number);
    const auto first = std::find_if(keys.begin(), keys.end(),
                                    [&](const std::string& k) { return platform::EqualsIgnoreCase(k, key); });
    if (first != keys.end()) read[static_cast<size_t>(first - keys.begin())] = true;
  }
  return read;
}

bool IsUsablePortName(std::string_view name) {
  if (name.empty() || platform::TrimBlanks(name) != name) return false;
  if (name.find_first_of("/\\[]=") != std::string_view::npos) return false;
  if (name.find("..") != std::string_view::npos) return false;
  // Stored as a value, it must read back as typed: a value in matching quotes
  // reads without them, and a longer one is cut.
  if (name.size() > platform::ProfileText::kMaxValueLength) return false;
  if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front()) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  for (const auto section : {kServerSection, kTnppSection, kWctpSection, kMiscSection, kTapPortsSection}) {
    if (platform::EqualsIgnoreCase(name, section)) return false;
  }
  return name != "system";
}

}  // namespace vltg
