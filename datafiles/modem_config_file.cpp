#include "datafiles/modem_config_file.h"

#include "platform/base/whole_file.h"

namespace vltg {
namespace {

constexpr size_t kStringSizeOffset = 16;
static_assert(kModemConfigHeaderSize == platform::VARSTRING::kHeaderSize, "a file is the line's record whole");

uint32_t Word(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

}  // namespace

std::optional<std::string> ModemConfigBlock(std::string_view File) {
  if (File.size() < kModemConfigHeaderSize) return std::nullopt;
  // In 64 bits: a size near 2^32 must not wrap round to a small end.
  const uint64_t size = Word(File, kStringSizeOffset);
  if (uint64_t{kModemConfigHeaderSize} + size > File.size()) return std::nullopt;
  return std::string(File.substr(kModemConfigHeaderSize, static_cast<size_t>(size)));
}

std::optional<std::string> ReadModemConfigFile(const std::filesystem::path& Path) {
  const std::optional<std::string> file = platform::ReadWholeFile(Path);
  if (!file) return std::nullopt;
  return ModemConfigBlock(*file);
}

void WriteModemConfigFile(const std::filesystem::path& Path, const platform::VARSTRING& Record) {
  platform::ReplaceWholeFile(Path, platform::VarStringBytes(Record));
}

}  // namespace vltg
