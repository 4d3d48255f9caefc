#include "datafiles/config_file.h"

#include <gtest/gtest.h>

#include "datafiles/config_lists.h"
#include "datafiles/tap_ports.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

class ConfigFileTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  platform::ProfileFile file_{dir_ / "Config.Dat"};
};

TEST_F(ConfigFileTest, WhereTheTwoProgramsDefaultsDiffer) {
  const TnppConfig tnpp = ReadTnppConfig(file_);
  EXPECT_TRUE(tnpp.stx_init);
  EXPECT_TRUE(tnpp.transparent_crc);
  EXPECT_EQ(tnpp.com_speed, 6);
  EXPECT_FALSE(ReadConfig(file_, kTnppSection, kTnppSTXInit, ConfigReader::kManager));
  EXPECT_FALSE(ReadConfig(file_, kTnppSection, kTnppTransparentCRC, ConfigReader::kManager));
  EXPECT_EQ(ReadTapPortConfig(file_, "Line 1").length, 230);
  EXPECT_EQ(ReadConfigText(file_, "Line 1", kPortLength, ConfigReader::kManager), "160");
  // An empty sender identity is "NOYB" to the gateway and shown empty by the manager.
  file_.WriteString(kWctpSection, kWctpSenderID.name, "");
  EXPECT_EQ(ReadWctpConfig(file_).sender_id, "NOYB");
  EXPECT_EQ(ReadConfig(file_, kWctpSection, kWctpSenderID, ConfigReader::kManager), "");
  EXPECT_TRUE(ReadWctpConfig(file_).doc_type.ends_with("/wctp-dtd-v1r1.dtd"));
}

TEST_F(ConfigFileTest, TheGatewayReadsWhatTheManagerWrote) {
  WriteConfig(file_, kTnppSection, kTnppEnableTNPP, true);
  WriteConfigText(file_, kTnppSection, kTnppSourceAddr, "$10");
  WriteConfig(file_, "Line 1", kPortComSpeed, 10);
  WriteConfig(file_, "Line 1", kPortPassword, "pw");
  WriteConfig(file_, kMiscSection, kMiscEmulation, 1);
  EXPECT_EQ(dir_.Read("Config.Dat"),
            "[TNPP]\r\nEnableTNPP=1\r\nSourceAddr=$10\r\n\r\n"
            "[Line 1]\r\nCOMSpeed=10\r\nPassword=pw\r\n\r\n"
            "[Misc]\r\nmEmulation=1\r\n");
  const TnppConfig tnpp = ReadTnppConfig(file_);
  EXPECT_TRUE(tnpp.enable_tnpp);
  EXPECT_EQ(tnpp.source_addr, 16);
  const TapPortConfig port = ReadTapPortConfig(file_, "LINE 1");
  EXPECT_EQ(port.com_speed, 10);
  EXPECT_EQ(port.password, "pw");
  EXPECT_EQ(ReadMiscConfig(file_).emulation, 1);
}

TEST_F(ConfigFileTest, HandEditedValuesReadAsTheGatewayExpects) {
  dir_.Write("Config.Dat",
             "[tap ports]\nport2=Line B\n"
             "[Line B]\nRings=abc\nComPort=1\nComSpeed=4\nTruncateMsgs=7\n"
             "[TNPP]\nEnableTNPP=2\n"
             "[WCTP]\nWCTPMiscSenderInfo=" + std::string(150, 'm') + "\nWCTPDocType=" + std::string(300, 'd') + "\n");
  const auto entries = file_.ReadSectionValues(kTapPortsSection);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(TapPortNumber(entries[0].name), 2);
  EXPECT_EQ(file_.ReadString(kTapPortsSection, TapPortKey(2), ""), "Line B");

  const TapPortConfig port = ReadTapPortConfig(file_, "Line B");
  EXPECT_EQ(port.rings, 1);
  EXPECT_EQ(port.com_port, 1);   // the engine is then given COM2
  EXPECT_EQ(port.com_speed, 4);  // "ComSpeed" and "COMSpeed" are one key
  EXPECT_TRUE(port.truncate_msgs);
  EXPECT_TRUE(ReadTnppConfig(file_).enable_tnpp);
  const WctpConfig wctp = ReadWctpConfig(file_);
  EXPECT_EQ(wctp.misc_sender_info.size(), 100u);
  EXPECT_EQ(wctp.doc_type.size(), 255u);
}

TEST(ConfigLists, TnppAndPortListsRunInOppositeOrders) {
  EXPECT_EQ(TnppCharFormat(0), PortCharFormat(1));
  EXPECT_EQ(TnppCharFormat(1), (CharFormat{7, 'E', 1}));
  EXPECT_EQ(TnppHandshake(0), PortFlowControl(1));
  EXPECT_EQ(TnppHandshake(1), PortFlowControl(2));
  EXPECT_EQ(TnppHandshake(3), (Handshake{false, false}));
  EXPECT_EQ(PortFlowControl(3), (Handshake{true, true}));
  EXPECT_EQ(TnppCharFormat(2), std::nullopt);
  EXPECT_EQ(PortFlowControl(-1), std::nullopt);
  EXPECT_EQ(ComSpeedRate(10), 56000);
  EXPECT_EQ(ComSpeedRate(13), std::nullopt);
}

TEST(TapPorts, KeyNumbersAndUsableNames) {
  EXPECT_EQ(TapPortNumber("Port 7"), 7);
  EXPECT_EQ(TapPortNumber("port16"), 16);
  EXPECT_EQ(TapPortNumber("PortX"), std::nullopt);
  EXPECT_EQ(TapPortNumber("Por"), std::nullopt);

  // Of the first 16 keys the numbers count; each is read under its own key,
  // wherever that stands, and only its first line.
  std::vector<std::string> keys = {"Port 7", "Port1", "PortX", "Port17", "port1"};
  keys.resize(16, "Port16");
  keys.push_back("Port7");
  std::vector<bool> read(keys.size(), false);
  read[1] = read[5] = read[16] = true;
  EXPECT_EQ(TapPortEntriesRead(keys), read);

  for (const std::string& good : std::vector<std::string>{"Line 1", "modem-2.north", "Port7", "System", "\"A",
                                                         "'A\"", "O'Neil", "'", std::string(2047, 'x')}) {
    EXPECT_TRUE(IsUsablePortName(good)) << good;
  }
  for (const std::string& bad :
       std::vector<std::string>{"", "   ", " A", "../etc/x", "a/b", "a\\b", "a..b", "A[1]", "A=B", "bell\x07", "TNPP",
                                "tap ports", "Misc", "system", "\"A\"", "''", "'Demo'", std::string(2048, 'x')}) {
    EXPECT_FALSE(IsUsablePortName(bad)) << bad;
  }
}

}  // namespace
}  // namespace vltg
