#pragma once
// How Config.Dat's settings map onto the engines: the TNPP link's [TNPP]
// keys and a TAP port's own section with [Misc]. A stored list position
// outside its list leaves the engine's own setting.
#include <cstdint>
#include <string>

#include "gateway/config_file.h"

namespace vltg {

class TKYRTap;
class TKYRTNPP;

// Everything but EnableTNPP; the serial number starts again at 0.
void ApplyTnppSettings(TKYRTNPP& link, const TnppConfig& config);

// The settings made before the line is initialised, in the engine's order:
// name, port name, line instance, COM port (stored 0 = COM1), speed, manual
// entry, flow control, character format, direct access, device.
void ApplyTapPortSettings(TKYRTap& tap, int32_t port, const std::string& name, const TapPortConfig& config,
                          const MiscConfig& misc);

}  // namespace vltg
