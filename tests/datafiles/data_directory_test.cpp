#include "datafiles/data_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

class DataDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(cwd_.Path());
  }
  void TearDown() override { std::filesystem::current_path(old_cwd_); }

  void Register(std::string_view directory) {
    platform::RegistryKey::WriteString(platform::RegistryHive::kLocalMachine, kDataDirectoryKey, "", directory);
  }

  testing::TempDir root_;
  testing::TempDir cwd_;
  testing::ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
  std::filesystem::path old_cwd_;
};

TEST_F(DataDirectoryTest, TheRegisteredDirectoryWithoutATrailingSeparator) {
  Register("/srv/vltg/");
  EXPECT_EQ(DataDirectory(), "/srv/vltg");
  Register("/srv/vltg");
  EXPECT_EQ(DataDirectory(), "/srv/vltg");
  Register("/");
  EXPECT_EQ(DataDirectory(), "/");
}

TEST_F(DataDirectoryTest, TheCurrentDirectoryWhenNothingUsableIsRegistered) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(DataDirectory(), cwd);  // no store at all
  // Looking never creates the store or the key.
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryFile()));
  Register("");
  EXPECT_EQ(DataDirectory(), cwd);  // an empty value
  std::filesystem::remove(platform::RegistryFile());
  std::filesystem::create_directory(platform::RegistryFile());
  EXPECT_EQ(DataDirectory(), cwd);  // an unreadable store
  EXPECT_TRUE(std::filesystem::is_empty(platform::RegistryFile()));
}

TEST(DataFiles, PathsJoinWithASlashAndKeepTheirCase) {
  EXPECT_EQ(DataFilePath("/srv/vltg", kConfigFileName), "/srv/vltg/Config.Dat");
  EXPECT_EQ(DataFilePath("/", kRouteFileName), "/Route.Dat");
  EXPECT_EQ(DataFilePath("/srv", ModemConfigFileName("Line 1")), "/srv/Line 1.mcf");
  EXPECT_EQ(DataFilePath("/srv", kSystemModemConfigFileName), "/srv/system.mcf");
}

}  // namespace
}  // namespace vltg
