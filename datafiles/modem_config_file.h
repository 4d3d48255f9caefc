#pragma once
// Modem configuration files (*.mcf): a telephony line's device configuration
// record for "comm/datamodem", stored whole. Six unsigned 32-bit
// little-endian words (total, needed and used size, string format, string
// size, string offset), then the configuration block of the string size at
// offset 24, whatever the offset word says. The manager writes them from the
// line provider's dialog; the gateway gives a port's block to its line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/telephony/line_records.h"

namespace vltg {

inline constexpr size_t kModemConfigHeaderSize = 24;

// The configuration block of a file's bytes; nothing for a file shorter than
// the header or one whose string size runs past its end.
std::optional<std::string> ModemConfigBlock(std::string_view File);

// The configuration block of the file at `Path`; nothing when there is no
// file or its bytes hold no block. Raises platform::EFileError when the file
// is there but cannot be read.
std::optional<std::string> ReadModemConfigFile(const std::filesystem::path& Path);

// Stores the record the line provider gave as the file at `Path`, replacing
// it at once. Raises platform::EFileError.
void WriteModemConfigFile(const std::filesystem::path& Path, const platform::VARSTRING& Record);

}  // namespace vltg
