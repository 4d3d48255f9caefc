// The boot unit shipped with the service layer passes systemd's own check.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/base/whole_file.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {
namespace fs = std::filesystem;

TEST(AutostartUnit, PassesSystemdAnalyzeVerify) {
  const fs::path analyze = "/usr/bin/systemd-analyze";
  if (!fs::exists(analyze)) GTEST_SKIP() << "systemd-analyze is not installed";
  std::string unit = platform::ReadWholeFile(VLTG_SOURCE_DIR "/platform/service/vltg-autostart.service").value_or("");
  // The check wants the program to exist: the one built here stands in for
  // the installed one.
  const std::string installed = "ExecStart=/usr/local/bin/vltg-sc autostart";
  const size_t at = unit.find(installed);
  ASSERT_NE(at, std::string::npos);
  unit.replace(at, installed.size(), "ExecStart=" VLTG_BINARY_DIR "/platform/vltg-sc autostart");
  testing::TempDir dir;
  dir.Write("vltg-autostart.service", unit);
  const auto result = testing::RunProgram(analyze.string(), {"verify", (dir / "vltg-autostart.service").string()});
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "");
}

}  // namespace
}  // namespace vltg
