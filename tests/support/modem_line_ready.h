#pragma once
// Whether the line side has taken a simulated modem into service: a caller
// should ring only once the line has initialised the modem (its set-up turns
// auto-answer off with S0=0) and has then been quiet for a while, or the rings
// would fall among the line's commands.
#include <cstddef>
#include <cstdint>

namespace vltg::testing {

class ModemSimulator;

// Waits up to `wait_ms` of the platform clock until a command line after the
// first `commands_before` commands set S0=0 and no command has come for
// `settle_ms`. False when that did not happen in time.
bool WaitForLineReady(const ModemSimulator& modem, size_t commands_before, int64_t settle_ms, int64_t wait_ms);

// Whether any command line after the first `commands_before` set S0=0.
bool LineSetUpSeen(const ModemSimulator& modem, size_t commands_before);

}  // namespace vltg::testing
