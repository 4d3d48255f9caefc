#pragma once
// A profile (INI) file used one key at a time, as the Windows profile functions
// use one: every read reads the file anew, so an edit takes effect at once, and
// every write replaces the file atomically, so a reader never sees it torn.
// Several edits made in one Update replace the file once. The text rules are
// ProfileText's; the file rules (regular files only, links followed only when
// they are the user's or root's, new files private) are ReplaceWholeFile's.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/whole_file.h"
#include "platform/profile/profile_text.h"

namespace vltg::platform {

class ProfileFile {
 public:
  // A file the first write creates gets `new_file_mode` (less the umask).
  explicit ProfileFile(std::filesystem::path path, std::filesystem::perms new_file_mode = kPrivateFileMode);

  const std::filesystem::path& Path() const { return path_; }

  // A file that exists but cannot be read is never taken for an empty one:
  // its reads raise EFileError naming it and the reason, unless this is set.
  // Then it is told the reason and the read gives the default, as for a
  // missing file: for a reader that starts with what it can read. Writes
  // raise whatever is set.
  std::function<void(const ProfileFile& sender, const std::string& reason)> OnUnreadable;

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
  // name or value ProfileText refuses, EFileError when the file cannot be read
  // or written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  // Written as "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);
  // ProfileText::SetNthValue: a line of a repeated key.
  void WriteNthString(std::string_view section, std::string_view key, std::size_t repeat, std::string_view value);
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

  // Runs `edits` on the file's text in memory and then replaces the file once,
  // not at all when nothing changed. Inside, this object's reads see the text
  // as edited so far and its writes only edit it. When `edits` or the
  // replacement raises, the file stays as it was. The edits write through this
  // object only: another one's write from inside raises EProfileError (it
  // would wait for this Update to end, on this thread).
  void Update(const std::function<void(ProfileFile& file)>& edits);

 private:
  ProfileText Load() const;
  ProfileText LoadForWriting() const;
  template <typename Read>
  auto WithText(Read read) const;
  template <typename Edit>
  void Change(Edit edit);

  std::filesystem::path path_;
  std::filesystem::perms new_file_mode_;
};

}  // namespace vltg::platform
