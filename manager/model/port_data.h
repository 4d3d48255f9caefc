#pragma once
// A TAP port's settings as the port dialog edits them and as the manager
// reads and writes them in the port's own Config.Dat section: one table of
// the section's keys (settings_fields.h), each with the dialog's control that
// shows it, serves the defaults, the reads, the writes and the dialog.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "manager/model/settings_fields.h"
#include "platform/profile/profile_file.h"

namespace vltg::manager {

// The section's keys, in the order the manager has always written them. The
// device identifier is a number, shown as its line in the dialog's Modem list.
std::span<const SettingsField> PortFields();

// The device identifier of a port without a modem.
inline constexpr std::int32_t kNoModem = -1;

class TPortData : public FieldValues {
 public:
  // A new port's: the manager's defaults, and no modem chosen.
  TPortData();
};

// The port's section with the manager's defaults for missing keys.
TPortData ReadPortData(const platform::ProfileFile& config, std::string_view name);
// Every key of the section.
void WritePortData(platform::ProfileFile& config, std::string_view name, const TPortData& data);

// The port list's "Device ID" column: "Direct", else the stored number.
std::string DeviceIdText(const TPortData& data);

}  // namespace vltg::manager
