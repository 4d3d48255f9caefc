#pragma once
// How Config.Dat's settings map onto the engines: the TNPP link's [TNPP]
// keys and a TAP port's own section with [Misc]. A stored list position
// outside its list leaves the engine's own setting.
#include <cstdint>
#include <string>

#include "datafiles/config_file.h"
#include "platform/profile/profile_file.h"

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

// Sets up a port's engine from its section of Config.Dat and [Misc], in the
// order the engine expects: the settings above, no dialogs, the line
// initialised, then rings, password, longest message, the modem
// configuration files (the port's own in the data directory, then
// system.mcf) and truncation. Raises what the line's initialisation raises.
void SetUpTapEngine(TKYRTap& tap, const platform::ProfileFile& ini, int32_t port, const std::string& name,
                    const std::string& home_dir);

}  // namespace vltg
