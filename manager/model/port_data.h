#pragma once
// A TAP port's settings as the port dialog edits them and as the manager
// reads and writes them in the port's own Config.Dat section, with the texts
// of the dialog's lists (whose positions are what the section stores).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile/profile_file.h"

namespace vltg::manager {

struct TPortData {
  int32_t DeviceID = -1;  // the chosen line's device identifier; -1 for none
  std::string Password;
  // Free texts, stored as typed.
  std::string TimeOut = "60";
  std::string RingsToAnswer = "1";
  std::string MaxMsgLength = "160";
  bool Turncate = false;
  bool Enabled = false;
  // Positions in the lists below.
  int32_t ComPort = 0;
  int32_t DataSettings = 0;
  int32_t FlowCtrl = 1;
  int32_t COMSpeed = 3;
  bool DirectAccess = false;

  bool operator==(const TPortData&) const = default;
};

// The port's section with the manager's defaults for missing keys.
TPortData ReadPortData(const platform::ProfileFile& config, std::string_view name);
// Every key of the section, in the order the manager has always written them.
void WritePortData(platform::ProfileFile& config, std::string_view name, const TPortData& data);

// The port list's "Device ID" column: "Direct", else the stored number.
std::string DeviceIdText(const TPortData& data);

// The dialog's lists, in the order their positions are stored.
std::vector<std::string> ComPortItems();
std::vector<std::string> DataSettingsItems();
std::vector<std::string> FlowCtrlItems();
std::vector<std::string> ComSpeedItems();

}  // namespace vltg::manager
