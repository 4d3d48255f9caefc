#pragma once
// The data directory, the one directory that holds every file of the system,
// and the names of those files. Both programs find it the same way.
#include <string>
#include <string_view>

namespace vltg {

// Under HKEY_LOCAL_MACHINE; its default value is the data directory, written by
// the installation and by neither program.
inline constexpr std::string_view kDataDirectoryKey = "\\Software\\KYR\\VLTAPGate";

inline constexpr std::string_view kConfigFileName = "Config.Dat";
inline constexpr std::string_view kRouteFileName = "Route.Dat";
inline constexpr std::string_view kLogFileName = "Log.Dat";
inline constexpr std::string_view kLogsDirectoryName = "logs";
inline constexpr std::string_view kSystemModemConfigFileName = "system.mcf";

// The registry key's default value, opened without creating the key; when the
// key is missing, cannot be read or holds an empty text, the current directory.
// Never with a trailing "/" (unless it is "/" itself).
std::string DataDirectory();

// The data directory, "/" and the file name.
std::string DataFilePath(std::string_view data_directory, std::string_view file_name);

// A TAP port's modem configuration file: the port name and ".mcf".
std::string ModemConfigFileName(std::string_view port_name);
// Whether that file can be written: its name and the temporary name written
// beside it on the way both fit a directory entry.
bool CanHaveModemConfigFile(std::string_view port_name);

}  // namespace vltg
