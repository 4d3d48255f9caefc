#include "platform/service/event_log.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {
namespace {

TEST(EventLogTest, EntriesReadBackInOrderWithTypeSourceAndText) {
  testing::TempDir root;
  testing::ScopedEnv env("VLTG_ROOT", root.Path().string());
  EXPECT_TRUE(ReportEvent("VLTAPGateway", EVENTLOG_INFORMATION_TYPE, "DI DIZ Evevevu Strated"));
  EXPECT_TRUE(ReportEvent("Odd\tSource", EVENTLOG_ERROR_TYPE, "two\nlines\\ and\r\ttabs"));
  const auto entries = ReadEventLog();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(entries[0].source, "VLTAPGateway");
  EXPECT_EQ(entries[0].text, "DI DIZ Evevevu Strated");
  EXPECT_EQ(entries[0].time.size(), 19u);
  EXPECT_EQ(entries[1].source, "Odd\tSource");
  EXPECT_EQ(entries[1].text, "two\nlines\\ and\r\ttabs");
}

TEST(EventLogTest, LinesThatAreNoEntriesAreSkipped) {
  EXPECT_FALSE(ParseEventLogLine(""));
  EXPECT_FALSE(ParseEventLogLine("2024-01-01 00:00:00\tInformation\tsource"));
  EXPECT_FALSE(ParseEventLogLine("2024-01-01 00:00:00\tKind\tsource\ttext"));
  EXPECT_FALSE(ParseEventLogLine("2024-01-01 00:00:00\tError\tsource\ttext\textra"));
  EXPECT_FALSE(ParseEventLogLine("2024-01-01 00:00:00\tError\tsource\tbad\\escape"));
  const auto entry = ParseEventLogLine("2024-01-01 00:00:00\t16\ts\tt\n");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->type, EVENTLOG_AUDIT_FAILURE);
}

}  // namespace
}  // namespace vltg::platform
