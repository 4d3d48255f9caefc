#pragma once
// The text of a profile (INI) file, read and edited with the Windows profile
// rules the configuration relies on. Pure: bytes in, bytes out.
//
// Reading: section and key names match without regard to ASCII case, the first
// matching section and key win, blanks around names and values are trimmed, one
// pair of enclosing quotes (" or ') is stripped from a value, a line whose first
// non-blank character is ";" is a comment, and a value is cut to 2047 bytes.
// Writing keeps every other line as it was, replaces a key's value in place with
// the key spelled as the file has it, puts a new key after the last key of its
// section and a new section at the end; a value set to what it reads as already
// leaves its line as it stands. Lines end CR LF when written; CR LF, LF and CR
// are all read. A UTF-8 byte order mark at the start (as some editors save the
// file) is no part of the first line, and is written back.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/exception.h"

namespace vltg::platform {

class EProfileError : public Exception {
 public:
  using Exception::Exception;
};

struct ProfileEntry {
  std::string name;
  std::string value;
};

struct ProfileSection {
  std::string name;
  std::vector<ProfileEntry> entries;
};

class ProfileText {
 public:
  static constexpr std::size_t kMaxValueLength = 2047;

  ProfileText() = default;
  explicit ProfileText(std::string_view bytes);

  // The key's value; nothing when the section or the key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // Every key line of the section, in file order (a repeated key is listed again).
  std::vector<ProfileEntry> Entries(std::string_view section) const;
  // Every section name, in file order, as spelled in the file.
  std::vector<std::string> SectionNames() const;
  // Every section with its key lines, in file order, read in one pass (a
  // repeated section is listed again): for a whole file of sections, where a
  // lookup per section and key would read the file once per lookup.
  std::vector<ProfileSection> Sections() const;
  bool HasSection(std::string_view section) const;

  // Names and values that would not read back as written (a line break, a "]"
  // in a section name, a "=" in a key name, blanks around a name, an empty name)
  // raise EProfileError and leave the text unchanged.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);
  // Sets the value of the key's line that comes `repeat` lines of that key
  // after the one reads see (0: that one), keeping the key as spelled; a
  // repeated key's later lines are reachable by no other call. Nothing when
  // the section has no such line.
  void SetNthValue(std::string_view section, std::string_view key, std::size_t repeat, std::string_view value);
  // Removes every section of that name with all its lines.
  void EraseSection(std::string_view section);
  // Removes the key's lines from the section that reads see.
  void DeleteKey(std::string_view section, std::string_view key);

  std::string Render() const;

 private:
  struct Range {
    std::size_t header;  // the section's own line
    std::size_t end;     // one past its last line
  };
  std::optional<Range> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const;

  std::vector<std::string> lines_;
  bool byte_order_mark_ = false;
};

}  // namespace vltg::platform
