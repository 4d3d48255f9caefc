// The TAP engine component's defaults and the modem configuration files.
#include "engines/kyr_tap.h"

#include <gtest/gtest.h>

#include <string>

#include "datafiles/modem_config_file.h"

namespace vltg {
namespace {

using namespace std::string_literals;

TEST(KYRTap, StartsWithThePublishedDefaults) {
  TKYRTap tap;
  EXPECT_FALSE(tap.GetWaitForCall());
  EXPECT_FALSE(tap.GetDeviceDirectAccess());
  EXPECT_EQ(tap.GetDevIdToInitialize(), 0u);
  EXPECT_EQ(tap.GetTimeout(), 20u);
  EXPECT_TRUE(tap.GetShowDialDialog());
  EXPECT_TRUE(tap.GetShowErrorDialog());
  EXPECT_EQ(tap.GetRingsToAnswer(), 1);
  EXPECT_TRUE(tap.GetTurncateMsgs());
  EXPECT_FALSE(tap.GetETAP());
  EXPECT_EQ(tap.GetLineInstance(), 0);
  EXPECT_EQ(tap.GetMaxMsgLength(), 0);
  EXPECT_EQ(tap.GetManualEntryType(), metHark);
  EXPECT_EQ(tap.GetComPort(), 1);
  EXPECT_EQ(tap.GetComPortSpeed(), brt1200);
  EXPECT_EQ(tap.GetComPortDataBits(), dbt7BITS);
  EXPECT_EQ(tap.GetComPortStopBits(), sbt1BITS);
  EXPECT_EQ(tap.GetComPortParity(), pttEVEN);
  EXPECT_EQ(tap.GetComPortHwHandshaking(), hhtRTSCTS);
  EXPECT_EQ(tap.GetComPortSwHandshaking(), shtNONE);
  EXPECT_FALSE(tap.FCommAttached);
  EXPECT_FALSE(tap.CommHandleHeld());
}

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

}  // namespace
}  // namespace vltg
