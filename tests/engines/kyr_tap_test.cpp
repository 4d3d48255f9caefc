// The TAP engine component's defaults.
#include "engines/kyr_tap.h"

#include <gtest/gtest.h>

namespace vltg {
namespace {

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

}  // namespace
}  // namespace vltg
