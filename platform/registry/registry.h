#pragma once
// The few registry keys the programs read, kept in one small file:
// $VLTG_ROOT/registry.ini. Each key is a section named by its full path, hive
// first; each value a line, "@" standing for the key's default (unnamed) value,
// as in .reg files:
//
//   [HKEY_LOCAL_MACHINE\Software\KYR\VLTAPGate]
//   @=/srv/vltg
//
// Key paths and value names match without regard to ASCII case, as the
// registry's do. Reads never create anything; a store that exists but cannot
// be read raises EFileError (naming it and the reason) from every call.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vltg::platform {

enum class RegistryHive { kLocalMachine };

// $VLTG_ROOT/registry.ini
std::filesystem::path RegistryFile();

// What the reads below find in the store's bytes (`store`: the file's text).
bool RegistryKeyExistsIn(std::string_view store, RegistryHive hive, std::string_view path);
std::optional<std::string> RegistryValueIn(std::string_view store, RegistryHive hive, std::string_view path,
                                           std::string_view name);

class RegistryKey {
 public:
  // True when the key, or a key below it, exists.
  static bool KeyExists(RegistryHive hive, std::string_view path);
  // Opens an existing key for reading; never creates it. Nothing when it is
  // missing. A leading or trailing "\" is ignored.
  static std::optional<RegistryKey> OpenReadOnly(RegistryHive hive, std::string_view path);

  // Creates the key when missing (installation and tests; the programs only
  // read). Raise EProfileError for a name the store cannot hold, EFileError
  // when it cannot be written.
  static void WriteString(RegistryHive hive, std::string_view path, std::string_view name, std::string_view value);
  // Removes the key and every key below it.
  static void DeleteKey(RegistryHive hive, std::string_view path);

  // The value read now; an empty name reads the default value. Nothing when missing.
  std::optional<std::string> ReadString(std::string_view name) const;
  // The value as an integer (ParseProfileInteger); nothing when missing or not a number.
  std::optional<std::int32_t> ReadInteger(std::string_view name) const;

 private:
  explicit RegistryKey(std::string section) : section_(std::move(section)) {}

  std::string section_;
};

}  // namespace vltg::platform
