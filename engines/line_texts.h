#pragma once
// Texts the line components log: call states, their detail modes and serial
// port errors.
#include <cstdint>
#include <string>

namespace vltg {

// The call state's name ("OFFERING"), or "Unknown (<State>)".
std::string CallStateText(std::uint32_t State);

// What the detail mode of a DIALTONE, BUSY or DISCONNECTED state means;
// Mode 0 is "Command complete", anything else "Undefined (<Mode>)".
std::string CallStateDetailText(std::uint32_t State, std::uint32_t Mode);

// The description of a single serial error flag; empty for no flag or for
// several flags at once.
std::string CommErrorText(std::uint32_t Errors);

}  // namespace vltg
