// Modem configuration files: the block read from a file's bytes, and a line's
// record written as a file and read back.
#include "datafiles/modem_config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/base/whole_file.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

std::string Word(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

std::string McfFile(uint32_t string_size, const std::string& block, const std::string& tail = "") {
  const std::string header = Word(static_cast<uint32_t>(24 + block.size() + tail.size())) + Word(0) + Word(0) +
                             Word(4) + Word(string_size) + Word(24);
  return header + block + tail;
}

TEST(ModemConfigFile, TakesTheBlockAtOffset24OnlyWhenItFits) {
  EXPECT_EQ(ModemConfigBlock(McfFile(5, "abcde")), "abcde");
  EXPECT_EQ(ModemConfigBlock(McfFile(3, "abcde", "unused")), "abc");
  EXPECT_EQ(ModemConfigBlock(McfFile(0, "")), "");

  EXPECT_EQ(ModemConfigBlock(""), std::nullopt);
  EXPECT_EQ(ModemConfigBlock(McfFile(0, "").substr(0, 20)), std::nullopt);
  EXPECT_EQ(ModemConfigBlock(McfFile(6, "abcde")), std::nullopt);
  // Sizes that wrap round in 32 bits when the header is added.
  EXPECT_EQ(ModemConfigBlock(McfFile(0xFFFFFFFF, "abcde")), std::nullopt);
  EXPECT_EQ(ModemConfigBlock(McfFile(0xFFFFFFEC, "abcde")), std::nullopt);
}

// The file is the record as the line provider laid it out, so the block the
// gateway hands its line is the one the provider gave the manager; no file,
// or bytes without a block, read as nothing, a file that cannot be read as an
// error, never as nothing.
TEST(ModemConfigFile, ARecordWrittenReadsBackAsItsBlock) {
  testing::TempDir dir;
  platform::VARSTRING record;
  record.dwTotalSize = record.dwNeededSize = record.dwUsedSize = 24 + 5;
  record.dwStringFormat = 4;
  record.dwStringSize = 5;
  record.dwStringOffset = 24;
  record.String = std::string("ab\0de", 5);

  const auto path = dir / "Line 1.mcf";
  EXPECT_EQ(ReadModemConfigFile(path), std::nullopt);
  WriteModemConfigFile(path, record);
  EXPECT_EQ(dir.Read("Line 1.mcf"), Word(29) + Word(29) + Word(29) + Word(4) + Word(5) + Word(24) + record.String);
  EXPECT_EQ(ReadModemConfigFile(path), std::string("ab\0de", 5));

  dir.Write("short.mcf", McfFile(6, "abcde"));
  EXPECT_EQ(ReadModemConfigFile(dir / "short.mcf"), std::nullopt);
  std::filesystem::create_directory(dir / "folder.mcf");
  EXPECT_THROW(ReadModemConfigFile(dir / "folder.mcf"), platform::EFileError);
  EXPECT_THROW(WriteModemConfigFile(dir / "folder.mcf", record), platform::EFileError);
}

}  // namespace
}  // namespace vltg
