#pragma once
// The machine's list of telephony lines: $VLTG_ROOT/telephony.ini, one section
// per line in device-identifier order (the first is device 0). The section
// name is the line's name; a name used again is the first section's, so the
// repeat is not a line. Keys, each optional except Device:
//
//   [Modem on COM1]
//   Device=COM1          ; "COMn" (see com_port_map.h) or a device path
//   Speed=9600           ; one of kDeviceSpeeds
//   DataBits=8           ; 5 to 8
//   Parity=None          ; None, Odd, Even, Mark, Space
//   StopBits=1           ; 1, 1.5, 2
//   FlowControl=RtsCts   ; None, RtsCts, XonXoff, Both
//   InitCommand=AT&K3    ; sent after the standard initialisation
//   WatchCarrier=1       ; 0: a call ends only when it is dropped
//
// Missing keys take DeviceConfig's defaults. A line with a value that cannot
// be used is still listed (its device identifier stays), with the reason.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/telephony/device_config.h"

namespace vltg::platform {

struct TelephonyLine {
  std::string name;
  std::string device;
  DeviceConfig config;  // the line's default configuration
  std::string error;    // why the line cannot be used; empty when it can
};

std::vector<TelephonyLine> ParseTelephonyLines(std::string_view text);

std::filesystem::path TelephonyIniPath();
// No file, no lines; EFileError when it exists but cannot be read.
std::vector<TelephonyLine> LoadTelephonyLines();

}  // namespace vltg::platform
