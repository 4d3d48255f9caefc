#pragma once
// Reading a small file whole, and replacing one atomically: a reader sees the
// old file or the new one, never a half-written one, and a crash while writing
// leaves the old file in place.
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

// Writes the bytes to a temporary file in the same directory, syncs it and
// renames it over the path. An existing file keeps its mode and, where allowed,
// its owner; a symbolic link is followed so the link stays. Raises EFileError.
void ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vltg::platform
