#include "platform/telephony/telephony_ini.h"

#include <optional>
#include <unordered_set>

#include "platform/base/ascii_text.h"
#include "platform/base/machine_root.h"
#include "platform/base/whole_file.h"
#include "platform/profile/profile_integer.h"
#include "platform/profile/profile_text.h"

namespace vltg::platform {
namespace {

template <typename T>
struct Named {
  const char* name;
  T value;
};

constexpr Named<SerialParity> kParities[] = {{"None", SerialParity::kNone},
                                             {"Odd", SerialParity::kOdd},
                                             {"Even", SerialParity::kEven},
                                             {"Mark", SerialParity::kMark},
                                             {"Space", SerialParity::kSpace}};
constexpr Named<SerialStopBits> kStopBits[] = {
    {"1", SerialStopBits::kOne}, {"1.5", SerialStopBits::kOneAndHalf}, {"2", SerialStopBits::kTwo}};
constexpr Named<int> kFlows[] = {{"None", 0}, {"RtsCts", 1}, {"XonXoff", 2}, {"Both", 3}};

template <typename T, size_t N>
bool Lookup(const Named<T> (&table)[N], std::string_view text, T& out) {
  for (const auto& entry : table) {
    if (EqualsIgnoreCase(entry.name, text)) {
      out = entry.value;
      return true;
    }
  }
  return false;
}

// Reads one line's keys into `line`; the first bad value gives the error.
// The first of a key given twice counts.
void ReadLine(const std::vector<ProfileEntry>& entries, TelephonyLine& line) {
  auto value = [&entries](std::string_view key) -> std::optional<std::string> {
    for (const auto& entry : entries) {
      if (EqualsIgnoreCase(entry.name, key)) return entry.value;
    }
    return std::nullopt;
  };
  auto bad = [&](std::string_view key, const std::string& text) {
    if (line.error.empty()) line.error = std::string(key) + ": \"" + text + "\" cannot be used";
  };
  DeviceConfig& config = line.config;

  if (auto device = value("Device"); device && !device->empty()) {
    line.device = *device;
  } else {
    line.error = "Device: missing";
  }
  if (auto text = value("Speed")) {
    const auto speed = ParseProfileInteger(*text);
    if (speed && *speed > 0) config.speed = static_cast<uint32_t>(*speed);
    else bad("Speed", *text);
  }
  if (auto text = value("DataBits")) {
    const auto bits = ParseProfileInteger(*text);
    if (bits) config.data_bits = *bits;
    else bad("DataBits", *text);
  }
  if (auto text = value("Parity"); text && !Lookup(kParities, *text, config.parity)) bad("Parity", *text);
  if (auto text = value("StopBits"); text && !Lookup(kStopBits, *text, config.stop_bits)) bad("StopBits", *text);
  if (auto text = value("FlowControl")) {
    int flow = 0;
    if (Lookup(kFlows, *text, flow)) {
      config.rts_cts = (flow & 1) != 0;
      config.xon_xoff = (flow & 2) != 0;
    } else {
      bad("FlowControl", *text);
    }
  }
  if (auto text = value("InitCommand")) config.init_command = *text;
  if (auto text = value("WatchCarrier")) {
    const auto on = ParseProfileInteger(*text);
    if (on) config.watch_carrier = *on != 0;
    else bad("WatchCarrier", *text);
  }
  if (line.error.empty()) {
    if (std::string why = CheckDeviceConfig(config); !why.empty()) line.error = why;
  }
}

}  // namespace

// One pass over the text, whatever its size: a file of many thousand lines
// opens the manager's port dialog at once.
std::vector<TelephonyLine> ParseTelephonyLines(std::string_view text) {
  std::vector<TelephonyLine> lines;
  std::unordered_set<std::string> names;  // lower-cased
  for (ProfileSection& section : ProfileText(text).Sections()) {
    if (!names.insert(LowerAscii(section.name)).second) continue;
    TelephonyLine line;
    line.name = std::move(section.name);
    ReadLine(section.entries, line);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::filesystem::path TelephonyIniPath() { return MachineRoot() / "telephony.ini"; }

std::vector<TelephonyLine> LoadTelephonyLines() {
  const auto text = ReadWholeFile(TelephonyIniPath());
  return text ? ParseTelephonyLines(*text) : std::vector<TelephonyLine>{};
}

}  // namespace vltg::platform
