#include "datafiles/route_table.h"

#include <gtest/gtest.h>

#include "platform/base/whole_file.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

std::string RouteOf(const RouteTable& table, std::string_view pin) {
  const RouteLine* line = table.Find(pin);
  return line ? line->Text() : "<refused>";
}

TEST(RouteLineSplit, SplitsAtTheFirstThreeCommas) {
  EXPECT_EQ(SplitRouteLine("12,SNPP,host,444"), (RouteLine{"12", "SNPP", "host", "444"}));
  EXPECT_EQ(SplitRouteLine("1,WCTP,http://x/a,b,c"), (RouteLine{"1", "WCTP", "http://x/a", "b,c"}));
  EXPECT_EQ(SplitRouteLine(",SNPP,host,444"), (RouteLine{"", "SNPP", "host", "444"}));
  // Where no comma is left, the field is empty and the rest goes to field4.
  EXPECT_EQ(SplitRouteLine("12,SNPP"), (RouteLine{"12", "", "", "SNPP"}));
  EXPECT_EQ(SplitRouteLine("12,SNPP,host"), (RouteLine{"12", "SNPP", "", "host"}));
  EXPECT_EQ(SplitRouteLine("no comma"), (RouteLine{"", "", "", "no comma", false}));
  EXPECT_EQ(SplitRouteLine("12,SNPP").Text(), "12,,,SNPP");
  EXPECT_EQ(SplitRouteLine("no comma").Text(), "no comma");
}

TEST(RouteLookup, FirstMatchInFileOrderThenDefault) {
  const auto table = RouteTable::Parse(
      "12,SNPP,a,1\r\n"
      "123,WCTP,u,0\r\n"
      "abc,SNPP,h,444\r\n"
      "DEFAULT,SNPP,h,444\r\n"
      "999,WCTP,u,0\r\n");
  EXPECT_EQ(RouteOf(table, "1234"), "12,SNPP,a,1");  // first match, not longest
  EXPECT_EQ(RouteOf(table, "12"), "12,SNPP,a,1");
  EXPECT_EQ(RouteOf(table, "1"), "DEFAULT,SNPP,h,444");  // a prefix longer than the PIN never matches
  EXPECT_EQ(RouteOf(table, "555"), "DEFAULT,SNPP,h,444");
  EXPECT_EQ(RouteOf(table, "ABC1"), "DEFAULT,SNPP,h,444");  // case-sensitive prefix
  EXPECT_EQ(RouteOf(table, "abc1"), "abc,SNPP,h,444");
  EXPECT_EQ(RouteOf(table, "DEFAULT7"), "DEFAULT,SNPP,h,444");  // "default" is also an ordinary prefix

  const auto no_default = RouteTable::Parse("12,SNPP,a,1\r\ndefaults,SNPP,b,2\r\n");
  EXPECT_EQ(RouteOf(no_default, "555"), "<refused>");
  EXPECT_EQ(RouteOf(RouteTable(), "555"), "<refused>");
}

TEST(RouteLookup, BlankAndCommalessLinesNeverCatchButAnEmptyRouteDoes) {
  const auto table = RouteTable::Parse(
      "12,SNPP,a,1\r\n"
      "\r\n"
      "   \r\n"
      "stray text\r\n"
      "77,TNPP,5,3\r\n"
      ",SNPP,catch,444\r\n"
      "88,WCTP,u,0\r\n");
  EXPECT_EQ(table.Lines().size(), 6u);  // the empty line is dropped, the others kept
  EXPECT_EQ(RouteOf(table, "771"), "77,TNPP,5,3");
  EXPECT_EQ(RouteOf(table, "555"), ",SNPP,catch,444");
  EXPECT_EQ(RouteOf(table, "881"), ",SNPP,catch,444");  // the catch-all stands before 88
  EXPECT_EQ(RouteOf(RouteTable::Parse("\r\n\r\n"), "1"), "<refused>");
}

TEST(RouteLookup, EveryLineEndingWithOrWithoutAFinalOne) {
  for (const char* eol : {"\r\n", "\n", "\r"}) {
    for (const bool final_eol : {true, false}) {
      std::string bytes = std::string("1,SNPP,a,1") + eol + "2,WCTP,b,2" + eol + "3,TNPP,3,4";
      if (final_eol) bytes += eol;
      const auto table = RouteTable::Parse(bytes);
      ASSERT_EQ(table.Lines().size(), 3u);
      EXPECT_EQ(RouteOf(table, "2"), "2,WCTP,b,2");
      EXPECT_EQ(table.Lines()[2], (RouteLine{"3", "TNPP", "3", "4"}));
    }
  }
}

TEST(RouteTransport, WordsAreExactAndAnythingElseIsTnpp) {
  EXPECT_EQ(TransportOf(SplitRouteLine("1,SNPP,h,1")), RouteTransport::kSnpp);
  EXPECT_EQ(TransportOf(SplitRouteLine("1,WCTP,u,1")), RouteTransport::kWctp);
  EXPECT_EQ(TransportOf(SplitRouteLine("1,TNPP,1,1")), RouteTransport::kTnpp);
  EXPECT_EQ(TransportOf(SplitRouteLine("1,snpp,h,1")), RouteTransport::kTnpp);
  EXPECT_EQ(TransportOf(SplitRouteLine("1,Tnpp,1,1")), RouteTransport::kTnpp);
}

TEST(RouteTransport, TnppDestinationAndInertiaConversions) {
  auto target = TnppTargetOf(SplitRouteLine("77,TNPP,$1A,65539"));
  EXPECT_EQ(target.destination, 26);
  EXPECT_EQ(target.inertia, 3);
  target = TnppTargetOf(SplitRouteLine("77,TNPP,0x1A,-1"));
  EXPECT_EQ(target.destination, 26);
  EXPECT_EQ(target.inertia, 0xFFFF);
  EXPECT_EQ(TnppTargetOf(SplitRouteLine("77,TNPP,-5,3")).destination, -5);
  EXPECT_THROW(TnppTargetOf(SplitRouteLine("77,TNPP,1A,3")), EConvertError);
  EXPECT_THROW(TnppTargetOf(SplitRouteLine("77,TNPP,5,")), EConvertError);
  EXPECT_THROW(TnppTargetOf(SplitRouteLine("77,TNPP,5,3,4")), EConvertError);
  try {
    TnppTargetOf(SplitRouteLine("77,TNPP,1A,3"));
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1A' is not a valid integer value");
  }
}

TEST(RouteFile, LoadsMissingAsEmptyAndSavesCrLfLines) {
  testing::TempDir dir;
  EXPECT_TRUE(RouteTable::Load(dir / "Route.Dat").Lines().empty());
  const RouteTable table({RouteLine{"1", "SNPP", "h", "444"}, SplitRouteLine("hand note"),
                          RouteLine{"2", "TNPP", "5", "3"}});
  table.Save(dir / "Route.Dat");
  EXPECT_EQ(dir.Read("Route.Dat"), "1,SNPP,h,444\r\nhand note\r\n2,TNPP,5,3\r\n");
  EXPECT_EQ(RouteTable::Load(dir / "Route.Dat").Lines(), table.Lines());
  RouteTable().Save(dir / "Route.Dat");
  EXPECT_EQ(dir.Read("Route.Dat"), "");
  EXPECT_THROW(table.Save(dir / "no-dir" / "Route.Dat"), platform::EFileError);
}

}  // namespace
}  // namespace vltg
