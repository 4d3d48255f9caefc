// The TNPP, WCTP and Misc pages: the manager's defaults, what each Apply
// writes and in which order, what the gateway then reads, and the refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "datafiles/config_file.h"
#include "manager/model/misc_settings.h"
#include "manager/model/tnpp_settings.h"
#include "manager/model/wctp_settings.h"
#include "tests/support/manager_test.h"

namespace vltg::manager {
namespace {

class SettingsPagesTest : public testing::ManagerTest {
 protected:
  platform::ProfileFile Config() const { return platform::ProfileFile(dir_ / "Config.Dat"); }
};

const std::string kTnppDefaults =
    "[TNPP]\r\nSourceAddr=0\r\nBusyRtyTO=60\r\nIdelTO=10\r\nRetryCount=6\r\nKeepAliveTO=60\r\nIntCharTime=2\r\n"
    "RSHoldRetry=24\r\nRSHoldTime=10\r\nENQRetries=6\r\nENQTO=10\r\nUseCom=0\r\nComSettings=0\r\nHandShake=0\r\n"
    "ComSpeed=6\r\nSTXInit=0\r\nTransparentCRC=0\r\nEnableTNPP=0\r\n";
const std::string kWctpDefaults =
    "[WCTP]\r\nWCTPSenderID=NOYB\r\nWCTPDocType=" + std::string(kDefaultWctpDocType) + "\r\nWCTPMiscSenderInfo=\r\n";
const std::string kMiscDefaults = "[Misc]\r\nmHeader=\r\nmEmulation=0\r\n";

TEST_F(SettingsPagesTest, WithoutConfigEachPageShowsTheDefaultsAndItsApplyWritesOnlyItsOwnSection) {
  TnppSettings tnpp(manager_);
  WctpSettings wctp(manager_);
  MiscSettings misc(manager_);
  EXPECT_EQ(tnpp.Text("SourceAddr"), "0");
  EXPECT_EQ(tnpp.Text("RSHoldRetry"), "24");
  EXPECT_EQ(tnpp.Position("ComSpeed"), 6);
  EXPECT_FALSE(tnpp.Checked("STXInit"));
  EXPECT_FALSE(tnpp.Checked("TRSPCRC"));
  EXPECT_EQ(wctp.Text("WCTPSenderID"), "NOYB");
  EXPECT_EQ(misc.Position("mEmulation"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Config.Dat"));

  EXPECT_TRUE(wctp.Apply());
  EXPECT_EQ(dir_.Read("Config.Dat"), kWctpDefaults);
  EXPECT_TRUE(tnpp.Apply());
  EXPECT_EQ(dir_.Read("Config.Dat"), kWctpDefaults + "\r\n" + kTnppDefaults);
  EXPECT_TRUE(misc.Apply());
  EXPECT_EQ(dir_.Read("Config.Dat"), kWctpDefaults + "\r\n" + kTnppDefaults + "\r\n" + kMiscDefaults);
  // The gateway was never seen running: no restart prompt.
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(SettingsPagesTest, WhatEachPageWritesIsWhatTheGatewayReads) {
  dir_.Write("Config.Dat", "[tnpp]\r\nstxinit=1\r\nUseCom=9\r\n[Other]\r\nKeep=me\r\n");
  TnppSettings tnpp(manager_);
  EXPECT_TRUE(tnpp.Checked("STXInit"));
  EXPECT_EQ(tnpp.Position("UseCom"), -1);  // outside the list: nothing selected
  // Each number field and list a value of its own; the source address in hexadecimal.
  const std::tuple<const char*, std::int32_t TnppConfig::*, int> numbers[] = {
      {"BusyRtyTO", &TnppConfig::busy_rty_to, 61},     {"IdelTO", &TnppConfig::idel_to, 11},
      {"RetryCount", &TnppConfig::retry_count, 7},     {"KeepAliveTO", &TnppConfig::keep_alive_to, 62},
      {"IntCharTime", &TnppConfig::int_char_time, 3},  {"RSHoldRetry", &TnppConfig::rs_hold_retry, 25},
      {"RSHoldTime", &TnppConfig::rs_hold_time, 12},   {"ENQRetries", &TnppConfig::enq_retries, 8},
      {"ENQTO", &TnppConfig::enq_to, 13},              {"UseCom", &TnppConfig::use_com, 3},
      {"ComSettings", &TnppConfig::com_settings, 1},   {"HandShake", &TnppConfig::hand_shake, 2},
      {"ComSpeed", &TnppConfig::com_speed, 11}};
  for (const auto& [control, member, value] : numbers) {
    if (tnpp.Field(control).items.empty()) {
      tnpp.SetText(control, std::to_string(value));
    } else {
      tnpp.SetPosition(control, value);
    }
  }
  tnpp.SetText("SourceAddr", "$1F");
  tnpp.SetChecked("STXInit", false);
  tnpp.SetChecked("EnableSNPP", true);
  ASSERT_TRUE(tnpp.Apply());
  const TnppConfig read = ReadTnppConfig(Config());
  for (const auto& [control, member, value] : numbers) EXPECT_EQ(read.*member, value) << control;
  EXPECT_EQ(read.source_addr, 31);
  EXPECT_FALSE(read.stx_init);
  EXPECT_FALSE(read.transparent_crc);  // an unchecked box is written, so the gateway's own default goes
  EXPECT_TRUE(read.enable_tnpp);
  EXPECT_EQ(Config().ReadString("Other", "Keep", ""), "me");

  WctpSettings wctp(manager_);
  wctp.SetText("WCTPSenderID", "gateway@example.org");
  wctp.SetText("WCTPMiscSenderInfo", "night shift");
  wctp.SetText("WCTPDocType", "http://example.org/wctp-dtd-v1r1.dtd");
  ASSERT_TRUE(wctp.Apply());
  const WctpConfig wctp_read = ReadWctpConfig(Config());
  EXPECT_EQ(wctp_read.sender_id, "gateway@example.org");
  EXPECT_EQ(wctp_read.misc_sender_info, "night shift");
  EXPECT_EQ(wctp_read.doc_type, "http://example.org/wctp-dtd-v1r1.dtd");

  MiscSettings misc(manager_);
  misc.SetText("mHeader", "Welcome");
  misc.SetPosition("mEmulation", 1);
  ASSERT_TRUE(misc.Apply());
  const MiscConfig misc_read = ReadMiscConfig(Config());
  EXPECT_EQ(misc_read.header, "Welcome");
  EXPECT_EQ(misc_read.emulation, 1);

  // A page loaded again shows what was written.
  TnppSettings again(manager_);
  EXPECT_EQ(again.Text("SourceAddr"), "$1F");
  EXPECT_EQ(again.Position("ComSpeed"), 11);
  EXPECT_TRUE(again.Checked("EnableSNPP"));
  EXPECT_FALSE(again.Checked("TRSPCRC"));
}

TEST_F(SettingsPagesTest, TheFirstBlankFieldALineBreakOrANulIsReportedAndNothingIsWritten) {
  const char* tnpp_order[][2] = {
      {"SourceAddr", "Source Address Can Not Be Blank!"}, {"BusyRtyTO", "Busy Rsp. T.O. Can Not Be Blank!"},
      {"IdelTO", "Idle T.O. Can Not Be Blank!"},          {"RetryCount", "Retry Coun Can Not Be Blank!"},
      {"KeepAliveTO", "Keep Alive T.O. Can Not Be Blank!"}, {"IntCharTime", "Inter Char Time Can Not Be Blank!"},
      {"RSHoldRetry", "RS Hold Retry Can Not Be Blank!"},  {"RSHoldTime", "RS Hold Time Can Not Be Blank!"},
      {"ENQRetries", "ENQ Retries Can Not Be Blank!"},      {"ENQTO", "ENQ T.O. Can Not Be Blank!"}};
  // Clearing a field and every one after it: the cleared one first in order is reported.
  for (size_t first = 0; first < std::size(tnpp_order); ++first) {
    SCOPED_TRACE(tnpp_order[first][0]);
    TnppSettings tnpp(manager_);
    for (size_t i = first; i < std::size(tnpp_order); ++i) tnpp.SetText(tnpp_order[i][0], "");
    sink_.events.clear();
    EXPECT_FALSE(tnpp.Apply());
    EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", std::string("box:") + tnpp_order[first][1],
                                                       std::string("focus:") + tnpp_order[first][0]}));
    EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kError);
  }

  WctpSettings wctp(manager_);
  wctp.SetText("WCTPMiscSenderInfo", "");  // may stay blank
  wctp.SetText("WCTPDocType", "");
  wctp.SetText("WCTPSenderID", "");
  sink_.events.clear();
  EXPECT_FALSE(wctp.Apply());
  wctp.SetText("WCTPSenderID", "me");
  EXPECT_FALSE(wctp.Apply());
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Sender ID Can Not Be Blank!", "focus:WCTPSenderID",
                                                     "beep", "box:DTD Document Can Not Be Blank!",
                                                     "focus:WCTPDocType"}));

  // A pasted line break is refused before anything is written.
  MiscSettings misc(manager_);
  misc.SetText("mHeader", "two\r\nlines");
  sink_.events.clear();
  EXPECT_FALSE(misc.Apply());
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Message Header Can Not Contain A Line Break!",
                                                     "focus:mHeader"}));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Config.Dat"));

  // So is a NUL byte the file held, in a field the operator did not touch.
  const std::string with_nul("[Misc]\r\nmHeader=ab\0cd\r\n", 23);
  dir_.Write("Config.Dat", with_nul);
  MiscSettings loaded(manager_);
  sink_.events.clear();
  EXPECT_FALSE(loaded.Apply());
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Message Header Can Not Contain A NUL Character!",
                                                     "focus:mHeader"}));
  EXPECT_EQ(dir_.Read("Config.Dat"), with_nul);
}

TEST_F(SettingsPagesTest, AFailedWriteIsShownAndReported) {
  std::filesystem::create_directory(dir_ / "Config.Dat");
  MiscSettings misc(manager_);
  EXPECT_FALSE(misc.Apply());
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kError);
}

// A digits-only field drops the characters the operator put in that are not
// digits, and nothing else: a loaded text stays until it is edited away.
TEST(DigitsOnlyField, KeepsWhatStoodAndTheDigitsPutIn) {
  struct Case {
    std::string before, after;
    std::size_t cursor;
    DigitsEdit kept;
  };
  const Case cases[] = {
      {"0x3C", "0x3C1", 5, {"0x3C1", 5}},  // a digit typed after a loaded hexadecimal
      {"0x3C", "0xa3C", 3, {"0x3C", 2}},   // a letter typed: the cursor stays where it was
      {"12", "13x,42", 5, {"1342", 3}},    // "3x,4" pasted
      {"0x3C", "03C", 1, {"03C", 1}},      // a loaded letter deleted
      {"0x3C", "0yC", 2, {"0C", 1}},       // "x3" replaced by a letter
      {"60", "", 0, {"", 0}},              // cleared
      {"ab", "aab", 2, {"ab", 1}},         // a repeated letter: which "a" was typed makes no difference
      {"1é", "1è", 3, {"1", 1}},           // "é" replaced: no half character stays
      {"é", "é7", 3, {"é7", 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeepTypedDigits(c.before, c.after, c.cursor), c.kept) << c.before << " -> " << c.after;
  }
}

}  // namespace
}  // namespace vltg::manager
