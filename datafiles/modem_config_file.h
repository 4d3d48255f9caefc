#pragma once
// Modem configuration files (*.mcf): a telephony line's device configuration
// record for "comm/datamodem", stored whole. Six unsigned 32-bit
// little-endian words (total, needed and used size, string format, string
// size, string offset), then the configuration block of the string size at
// offset 24, whatever the offset word says.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vltg {

inline constexpr size_t kModemConfigHeaderSize = 24;

// The configuration block of a file's bytes; nothing for a file shorter than
// the header or one whose string size runs past its end.
std::optional<std::string> ModemConfigBlock(std::string_view File);

}  // namespace vltg
