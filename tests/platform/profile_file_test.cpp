#include "platform/profile/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/base/whole_file.h"
#include "platform/profile/profile_integer.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {
namespace {

TEST(ProfileInteger, DecimalHexadecimalAndRefusals) {
  EXPECT_EQ(ParseProfileInteger("42"), 42);
  EXPECT_EQ(ParseProfileInteger("-7"), -7);
  EXPECT_EQ(ParseProfileInteger("+7"), 7);
  EXPECT_EQ(ParseProfileInteger("  9"), 9);
  EXPECT_EQ(ParseProfileInteger("$1A"), 26);
  EXPECT_EQ(ParseProfileInteger("0x1A"), 26);
  EXPECT_EQ(ParseProfileInteger("0X1a"), 26);
  EXPECT_EQ(ParseProfileInteger("-$10"), -16);
  EXPECT_EQ(ParseProfileInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseProfileInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseProfileInteger("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "-", "$", "0x", "1A", "12abc", "9 ", "true", "2147483648", "-2147483649",
                          "$100000000", "0x1G", "1.5", "--1", "$-1"}) {
    EXPECT_EQ(ParseProfileInteger(bad), std::nullopt) << '"' << bad << '"';
  }
}

class ProfileFileTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  ProfileFile file_{dir_ / "Config.Dat"};
};

TEST_F(ProfileFileTest, TypedReadsFallBackToTheirDefaults) {
  dir_.Write("Config.Dat", "[P]\nLength=\nDeviceID=$1A\nSTXInit=0\nCRC=yes\n");
  EXPECT_EQ(file_.ReadInteger("P", "Length", 230), 230);
  EXPECT_EQ(file_.ReadInteger("P", "DeviceID", 0), 26);
  EXPECT_FALSE(file_.ReadBool("P", "STXInit", true));
  EXPECT_TRUE(file_.ReadBool("P", "CRC", true));
  EXPECT_FALSE(file_.ReadBool("P", "CRC", false));
  EXPECT_EQ(file_.ReadString("P", "Length", "dflt"), "");
  EXPECT_EQ(file_.ReadString("P", "Password", "dflt"), "dflt");
}

TEST_F(ProfileFileTest, MissingFileReadsAsEmptyAndIsCreatedByTheFirstWrite) {
  EXPECT_EQ(file_.ReadString("Misc", "mHeader", "x"), "x");
  EXPECT_TRUE(file_.ReadSection("Tap Ports").empty());
  EXPECT_FALSE(file_.SectionExists("Misc"));
  file_.EraseSection("Misc");
  file_.DeleteKey("Misc", "mHeader");
  EXPECT_FALSE(std::filesystem::exists(file_.Path()));

  file_.WriteBool("TNPP", "EnableTNPP", true);
  file_.WriteInteger("TNPP", "ComSpeed", 6);
  file_.WriteBool("TNPP", "STXInit", false);
  EXPECT_EQ(dir_.Read("Config.Dat"), "[TNPP]\r\nEnableTNPP=1\r\nComSpeed=6\r\nSTXInit=0\r\n");
  EXPECT_EQ(file_.ReadSection("tnpp"), (std::vector<std::string>{"EnableTNPP", "ComSpeed", "STXInit"}));
  EXPECT_TRUE(file_.ValueExists("TNPP", "stxinit"));
}

TEST_F(ProfileFileTest, EveryReadSeesTheFileAsItIsNow) {
  dir_.Write("Config.Dat", "[WCTP]\nWCTPSenderID=first\n");
  EXPECT_EQ(file_.ReadString("WCTP", "WCTPSenderID", ""), "first");
  dir_.Write("Config.Dat", "[WCTP]\nWCTPSenderID=second\n");
  EXPECT_EQ(file_.ReadString("WCTP", "WCTPSenderID", ""), "second");
  // A write keeps a change made by someone else since the last read.
  dir_.Write("Config.Dat", "[WCTP]\nWCTPSenderID=third\n");
  file_.WriteString("WCTP", "WCTPDocType", "d");
  EXPECT_EQ(dir_.Read("Config.Dat"), "[WCTP]\r\nWCTPSenderID=third\r\nWCTPDocType=d\r\n");
}

TEST_F(ProfileFileTest, ReplacementKeepsModeLeavesNoTemporaryAndReportsFailure) {
  dir_.Write("Config.Dat", "[Server]\nPassword=secret\n");
  ASSERT_EQ(::chmod(file_.Path().c_str(), 0600), 0);
  file_.WriteString("Server", "Password", "other");
  struct stat st {};
  ASSERT_EQ(::stat(file_.Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);

  // A symbolic link stays a link; its target is replaced.
  std::filesystem::create_symlink(file_.Path(), dir_ / "Link.Dat");
  ProfileFile(dir_ / "Link.Dat").WriteString("Server", "LogonName", "op");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "Link.Dat"));
  EXPECT_EQ(file_.ReadString("Server", "LogonName", ""), "op");

  ProfileFile nowhere(dir_ / "missing-dir" / "Config.Dat");
  EXPECT_THROW(nowhere.WriteString("S", "k", "v"), EFileError);
  EXPECT_EQ(nowhere.ReadString("S", "k", "d"), "d");
  // A directory in the file's place is no empty file.
  std::filesystem::create_directory(dir_ / "Dir.Dat");
  EXPECT_THROW(ProfileFile(dir_ / "Dir.Dat").ReadString("S", "k", "d"), EFileError);
}

TEST_F(ProfileFileTest, AReaderNeverSeesAHalfWrittenFile) {
  // Large values make each rewrite take many write calls.
  const std::string a(200000, 'a');
  const std::string b(150000, 'b');
  file_.WriteString("S", "k", a);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      const auto bytes = ReadWholeFile(file_.Path());
      if (!bytes || (*bytes != "[S]\r\nk=" + a + "\r\n" && *bytes != "[S]\r\nk=" + b + "\r\n")) ++torn;
    }
  });
  for (int i = 0; i < 60; ++i) file_.WriteString("S", "k", i % 2 ? a : b);
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

TEST_F(ProfileFileTest, ConcurrentWritersInOneProcessLoseNoKey) {
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) file_.WriteInteger("S", "k" + std::to_string(t) + "_" + std::to_string(i), i);
    });
  }
  for (auto& w : writers) w.join();
  EXPECT_EQ(file_.ReadSection("S").size(), 40u);
}

}  // namespace
}  // namespace vltg::platform
