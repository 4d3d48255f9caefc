#include "datafiles/data_directory.h"

#include <filesystem>
#include <system_error>

#include "platform/base/whole_file.h"
#include "platform/registry/registry.h"

namespace vltg {

namespace {

std::string WithoutTrailingSeparator(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

std::string RegisteredDirectory() {
  try {
    const auto key = platform::RegistryKey::OpenReadOnly(platform::RegistryHive::kLocalMachine, kDataDirectoryKey);
    if (!key) return {};
    return key->ReadString("").value_or("");
  } catch (const std::exception&) {
    return {};  // an unreadable registry counts as no entry
  }
}

std::string CurrentDirectory() {
  std::error_code ec;
  std::string directory = std::filesystem::current_path(ec).string();
  if (ec || directory.empty()) return std::string(1, '.');
  return directory;
}

}  // namespace

std::string DataDirectory() {
  std::string directory = RegisteredDirectory();
  return WithoutTrailingSeparator(directory.empty() ? CurrentDirectory() : std::move(directory));
}

std::string DataFilePath(std::string_view data_directory, std::string_view file_name) {
  std::string path(data_directory);
  if (!path.empty() && path.back() != '/') path += '/';
  path += file_name;
  return path;
}

std::string ModemConfigFileName(std::string_view port_name) { return std::string(port_name) + ".mcf"; }

bool CanHaveModemConfigFile(std::string_view port_name) {
  return ModemConfigFileName(port_name).size() <= platform::kLongestReplaceableName;
}

}  // namespace vltg
