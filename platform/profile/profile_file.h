#pragma once
// A profile (INI) file used one key at a time, as the Windows profile functions
// use one: every read reads the file anew, so an edit takes effect at once, and
// every write replaces the file atomically, so a reader never sees it torn.
// The text rules are ProfileText's.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile/profile_text.h"

namespace vltg::platform {

class ProfileFile {
 public:
  explicit ProfileFile(std::filesystem::path path);

  const std::filesystem::path& Path() const { return path_; }

  // A missing file, section or key gives the default; an existing empty value
  // gives the empty text.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view default_value) const;
  // A missing, empty or non-numeric value gives the default (ParseProfileInteger).
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t default_value) const;
  // An integer; non-zero is true.
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;
  // The section's key names in file order.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // The section's keys with their values, in file order.
  std::vector<ProfileEntry> ReadSectionValues(std::string_view section) const;
  std::vector<std::string> ReadSections() const;
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;

  // Each write creates the file when it is missing. Raise EProfileError for a
  // name or value ProfileText refuses, EFileError when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  // Written as "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);
  // ProfileText::SetNthValue: a line of a repeated key.
  void WriteNthString(std::string_view section, std::string_view key, std::size_t repeat, std::string_view value);
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

 private:
  ProfileText Load() const;
  template <typename Edit>
  void Change(Edit edit);

  std::filesystem::path path_;
};

}  // namespace vltg::platform
