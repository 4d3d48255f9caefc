#pragma once
// Files as byte strings: reading a small file whole; appending to one and
// copying one, each creating its file with a mode of the caller's; and
// replacing one atomically: a reader sees the old file or the new one, never
// a half-written one, and a crash while writing leaves the old file in place.
#include <climits>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/exception.h"

namespace vltg::platform {

class EFileError : public Exception {
 public:
  using Exception::Exception;
};

// The file's bytes; nothing when it is missing, not a regular file or unreadable.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Appends the bytes, creating the file with `mode` (less the umask) when it is
// missing; an existing file keeps its mode. False when it cannot be opened or
// written; `why` then names the path and the reason ("<path>: <reason>").
bool AppendToFile(const std::filesystem::path& path, std::string_view bytes, std::filesystem::perms mode,
                  std::string* why = nullptr);

// Copies `from` to `to`, which gets `mode` (less the umask) whatever the
// source's or an existing target's. False when either cannot be opened or the copy fails
// (a partial target may then be left); `why` then names the file at fault and
// the reason ("<path>: <reason>").
bool CopyFileAs(const std::filesystem::path& from, const std::filesystem::path& to, std::filesystem::perms mode,
                std::string* why = nullptr);

// The temporary file ReplaceWholeFile writes beside a file is named
// kTemporaryPrefix, the file's name and kTemporarySuffix (mkstemp's pattern), so
// a file whose name is longer than kLongestReplaceableName cannot be replaced.
inline constexpr std::string_view kTemporaryPrefix = ".";
inline constexpr std::string_view kTemporarySuffix = ".XXXXXX";
inline constexpr std::size_t kLongestReplaceableName = NAME_MAX - kTemporaryPrefix.size() - kTemporarySuffix.size();

// Writes the bytes to a temporary file in the same directory, syncs it and
// renames it over the path. An existing file keeps its mode and, where allowed,
// its owner; a symbolic link is followed so the link stays. Raises EFileError.
void ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vltg::platform
