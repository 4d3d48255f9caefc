#include "platform/registry/registry.h"

#include "platform/base/ascii_text.h"
#include "platform/base/machine_root.h"
#include "platform/base/whole_file.h"
#include "platform/profile/profile_file.h"
#include "platform/profile/profile_integer.h"

namespace vltg::platform {

namespace {

constexpr std::string_view kDefaultValueName = "@";

// Like the registry it stands for, the store is readable by every program.
constexpr auto kStoreMode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                            std::filesystem::perms::group_read | std::filesystem::perms::others_read;

std::string_view HiveName(RegistryHive hive) {
  switch (hive) {
    case RegistryHive::kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
  }
  return "HKEY_LOCAL_MACHINE";
}

std::string SectionOf(RegistryHive hive, std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  std::string section(HiveName(hive));
  if (!path.empty()) {
    section += '\\';
    section += path;
  }
  return section;
}

std::string_view ValueName(std::string_view name) { return name.empty() ? kDefaultValueName : name; }

// The section itself or one below it.
bool IsAtOrBelow(std::string_view section, std::string_view key) {
  if (EqualsIgnoreCase(section, key)) return true;
  return section.size() > key.size() && section[key.size()] == '\\' &&
         EqualsIgnoreCase(section.substr(0, key.size()), key);
}

}  // namespace

std::filesystem::path RegistryFile() { return MachineRoot() / "registry.ini"; }

bool RegistryKeyExistsIn(std::string_view store, RegistryHive hive, std::string_view path) {
  const std::string key = SectionOf(hive, path);
  for (const auto& section : ProfileText(store).SectionNames()) {
    if (IsAtOrBelow(section, key)) return true;
  }
  return false;
}

std::optional<std::string> RegistryValueIn(std::string_view store, RegistryHive hive, std::string_view path,
                                           std::string_view name) {
  return ProfileText(store).Value(SectionOf(hive, path), ValueName(name));
}

bool RegistryKey::KeyExists(RegistryHive hive, std::string_view path) {
  return RegistryKeyExistsIn(ReadWholeFile(RegistryFile()).value_or(""), hive, path);
}

std::optional<RegistryKey> RegistryKey::OpenReadOnly(RegistryHive hive, std::string_view path) {
  if (!KeyExists(hive, path)) return std::nullopt;
  return RegistryKey(SectionOf(hive, path));
}

void RegistryKey::WriteString(RegistryHive hive, std::string_view path, std::string_view name,
                              std::string_view value) {
  ProfileFile(RegistryFile(), kStoreMode).WriteString(SectionOf(hive, path), ValueName(name), value);
}

void RegistryKey::DeleteKey(RegistryHive hive, std::string_view path) {
  const std::string key = SectionOf(hive, path);
  ProfileFile store(RegistryFile(), kStoreMode);
  for (const auto& section : store.ReadSections()) {
    if (IsAtOrBelow(section, key)) store.EraseSection(section);
  }
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
  const auto bytes = ReadWholeFile(RegistryFile());
  if (!bytes) return std::nullopt;
  return ProfileText(*bytes).Value(section_, ValueName(name));
}

std::optional<std::int32_t> RegistryKey::ReadInteger(std::string_view name) const {
  const auto text = ReadString(name);
  if (!text) return std::nullopt;
  return ParseProfileInteger(*text);
}

}  // namespace vltg::platform
