#pragma once
// [Tap Ports]: the list of TAP ports. Keys "Port1" to "Port16"; a key's value
// is the port's name, which also names the port's own section and its modem
// configuration file; an empty value marks a free slot.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltg {

inline constexpr std::string_view kTapPortsSection = "Tap Ports";
inline constexpr int kMaxTapPorts = 16;

// "Port" followed by the number in decimal.
std::string TapPortKey(std::int32_t number);

// The key without its first four characters, blanks trimmed, read as a
// configuration integer ("Port 7" gives 7, "PortX" nothing).
std::optional<std::int32_t> TapPortNumber(std::string_view key);

// The port numbers the gateway starts a thread for, given the keys of
// [Tap Ports] in file order: only the first 16 keys count, and of them those
// whose number part is 0 to 16.
std::vector<std::int32_t> TapPortNumbers(const std::vector<std::string>& keys);

// Which entries of [Tap Ports] (keys in file order) the gateway reads a port
// name from: for each of TapPortNumbers, the first entry whose key is its
// TapPortKey in any case. It reads no other: not a key past the first 16 or
// numbered over 16, not "Port 7" (read as "Port7"), not a key's second line.
std::vector<bool> TapPortEntriesRead(const std::vector<std::string>& keys);

// Whether a name can name a port: it becomes a section name and a file name in
// the data directory, so it must not be empty or have blanks around it (a
// section name is read trimmed; trim a typed name first) and must hold no
// "/", "\", "..", "[", "]", "=" and no control character. As [Tap Ports] stores
// it as a value, it must read back the same: not in matching quotes, not over
// the longest value a profile reads. Nor may it be the name
// of another section (any case), whose keys the port's would mix with and which
// deleting the port would erase, or "system", whose modem configuration file is
// every port's fallback.
bool IsUsablePortName(std::string_view name);

}  // namespace vltg
