#include "engines/log_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

TEST(LogFile, StampsEachLineAndWritesThemWithCRLF) {
  std::tm at{};
  at.tm_year = 2024 - 1900;
  at.tm_mon = 2;
  at.tm_mday = 7;
  at.tm_hour = 9;
  at.tm_min = 5;
  at.tm_sec = 3;
  TLogFile log([&] { return at; });
  log.Add("Write (send command to modem)", "ATZ\r\n");
  log.Add("Command complete (OK received)", "");
  ASSERT_EQ(log.Lines().size(), 2u);
  EXPECT_EQ(log.Lines()[0], "03/07/2024 09:05:03 - Write (send command to modem): ATZ\r\n");
  EXPECT_EQ(log.Lines()[1], "03/07/2024 09:05:03 - Command complete (OK received)");

  vltg::testing::TempDir dir;
  dir.Write("script.log", "old contents that are replaced");
  log.SaveToFile((dir / "script.log").string());
  EXPECT_EQ(dir.Read("script.log"), log.Lines()[0] + "\r\n" + log.Lines()[1] + "\r\n");
}

}  // namespace
}  // namespace vltg
