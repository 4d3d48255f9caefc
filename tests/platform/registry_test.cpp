#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/base/machine_root.h"
#include "platform/profile/profile_text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {
namespace {

constexpr auto kHklm = RegistryHive::kLocalMachine;

TEST(MachineRoot, ComesFromTheEnvironmentElseTheDefault) {
  {
    testing::ScopedEnv env("VLTG_ROOT", "/tmp/somewhere");
    EXPECT_EQ(MachineRoot(), "/tmp/somewhere");
  }
  {
    testing::ScopedEnv env("VLTG_ROOT", "");
    EXPECT_EQ(MachineRoot(), "/var/lib/vltg");
  }
  testing::ScopedEnv env("VLTG_ROOT", std::nullopt);
  EXPECT_EQ(MachineRoot(), "/var/lib/vltg");
}

class RegistryTest : public ::testing::Test {
 protected:
  testing::TempDir root_;
  testing::ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
};

TEST_F(RegistryTest, OpeningAMissingKeyCreatesNothing) {
  EXPECT_EQ(RegistryFile(), root_ / "registry.ini");
  EXPECT_FALSE(RegistryKey::KeyExists(kHklm, "\\Software\\KYR\\VLTAPGate"));
  EXPECT_FALSE(RegistryKey::OpenReadOnly(kHklm, "\\Software\\KYR\\VLTAPGate").has_value());
  EXPECT_FALSE(std::filesystem::exists(RegistryFile()));
}

TEST_F(RegistryTest, KeysAndValuesMatchWithoutCase) {
  RegistryKey::WriteString(kHklm, "\\Software\\KYR\\VLTAPGate", "", "/srv/vltg");
  RegistryKey::WriteString(kHklm, "SYSTEM\\CurrentControlSet\\Services\\Tcpip", "Start", "$2");
  EXPECT_EQ(root_.Read("registry.ini"),
            "[HKEY_LOCAL_MACHINE\\Software\\KYR\\VLTAPGate]\r\n@=/srv/vltg\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip]\r\nStart=$2\r\n");

  const auto key = RegistryKey::OpenReadOnly(kHklm, "software\\kyr\\vltapgate\\");
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->ReadString(""), "/srv/vltg");
  EXPECT_EQ(key->ReadString("Missing"), std::nullopt);
  // A key above an existing one exists too; a sibling does not.
  EXPECT_TRUE(RegistryKey::KeyExists(kHklm, "\\Software\\KYR"));
  EXPECT_FALSE(RegistryKey::KeyExists(kHklm, "\\Software\\KY"));
  const auto tcpip = RegistryKey::OpenReadOnly(kHklm, "\\System\\CurrentControlSet\\Services\\Tcpip");
  ASSERT_TRUE(tcpip.has_value());
  EXPECT_EQ(tcpip->ReadInteger("start"), 2);
  EXPECT_EQ(tcpip->ReadInteger("nothing"), std::nullopt);

  // Values are read when asked for, not when the key was opened.
  RegistryKey::WriteString(kHklm, "\\Software\\KYR\\VLTAPGate", "", "/other");
  EXPECT_EQ(key->ReadString(""), "/other");
}

TEST_F(RegistryTest, DeletingAKeyRemovesTheKeysBelowIt) {
  RegistryKey::WriteString(kHklm, "\\Software\\KYR", "x", "1");
  RegistryKey::WriteString(kHklm, "\\Software\\KYR\\VLTAPGate", "", "/srv");
  RegistryKey::WriteString(kHklm, "\\Software\\KYRX", "y", "2");
  RegistryKey::DeleteKey(kHklm, "\\software\\kyr");
  EXPECT_FALSE(RegistryKey::KeyExists(kHklm, "\\Software\\KYR\\VLTAPGate"));
  EXPECT_FALSE(RegistryKey::KeyExists(kHklm, "\\Software\\KYR"));
  EXPECT_TRUE(RegistryKey::KeyExists(kHklm, "\\Software\\KYRX"));
  // A name the store cannot hold is refused.
  EXPECT_THROW(RegistryKey::WriteString(kHklm, "\\Software\\A]B", "", "v"), EProfileError);
}

}  // namespace
}  // namespace vltg::platform
