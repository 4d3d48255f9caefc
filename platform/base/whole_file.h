#pragma once
// Files as byte strings: reading a small file whole; appending to one and
// copying one, each creating its file with a mode of the caller's; and
// replacing one atomically: a reader sees the old file or the new one, never
// a half-written one, and a crash while writing leaves the old file in place.
//
// Each acts on regular files only, and follows a symbolic link in a file's
// place only when the link belongs to this process's user or to root (the
// rule of the kernel's protected symlinks): a link that another account with
// write access to the directory planted never leads a read or a write to a
// file elsewhere or to a device.
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

// The files of the data directory hold passwords, PINs and messages: a new
// one is readable by its owner and group only.
inline constexpr std::filesystem::perms kPrivateFileMode =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read;

// The file's bytes; nothing when it does not exist. Raises EFileError, naming
// the file and the reason, when it exists but cannot be read, is not a regular
// file or is reached through a link the rule above refuses.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Appends the bytes, creating the file with `mode` (less the umask) when it is
// missing; an existing file keeps its mode. False when it cannot be opened or
// written, with "<path>: <reason>" in `why` when given.
bool AppendToFile(const std::filesystem::path& path, std::string_view bytes, std::filesystem::perms mode,
                  std::string* why = nullptr);

// Copies `from` to `to`, which gets `mode` (less the umask) whatever the
// source's or an existing target's. False when either cannot be opened or the
// copy fails (a partial target may then be left), with "<path>: <reason>" in
// `why` when given.
bool CopyFileAs(const std::filesystem::path& from, const std::filesystem::path& to, std::filesystem::perms mode,
                std::string* why = nullptr);

// The temporary file ReplaceWholeFile writes beside a file is named
// kTemporaryPrefix, the file's name and kTemporarySuffix (mkstemp's pattern), so
// a file whose name is longer than kLongestReplaceableName cannot be replaced.
inline constexpr std::string_view kTemporaryPrefix = ".";
inline constexpr std::string_view kTemporarySuffix = ".XXXXXX";
inline constexpr std::size_t kLongestReplaceableName = NAME_MAX - kTemporaryPrefix.size() - kTemporarySuffix.size();

// Writes the bytes to a temporary file beside the file, syncs it and renames
// it over the file. An existing file keeps its mode and, where allowed, its
// owner and group; a new one gets `new_mode` less the umask. A link the rule
// allows stays a link: what it leads to is replaced. Raises EFileError.
void ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes,
                      std::filesystem::perms new_mode = kPrivateFileMode);

// Where `path` leads through the links the rule allows: the path itself when
// it is no link (or nothing is there). Raises EFileError for a link the rule
// refuses.
std::filesystem::path FollowTrustedLinks(const std::filesystem::path& path);

}  // namespace vltg::platform
