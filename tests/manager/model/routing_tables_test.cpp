// The route list and Route.Dat: the order the manager writes, the dialog's
// refusals, lines kept as they stand, and failed writes.
#include "manager/model/routing_tables.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "manager/model/route_order.h"
#include "tests/support/manager_test.h"

namespace vltg::manager {
namespace {

class RoutingTablesTest : public testing::ManagerTest {
 protected:
  // The dialog as the operator fills it in and presses OK, accepted, then its
  // route handed to the list.
  void Add(std::string route, std::string transport, std::string destination, std::string port) {
    TRouteDialogModel form;
    form.Route = route;
    form.SelectTransport(transport);
    form.Destination = destination;
    form.Port = port;
    ASSERT_TRUE(form.Accept(dialog_sink_)) << ::testing::PrintToString(dialog_sink_.events);
    routes_.AddRoute(form.Line());
  }
  std::vector<std::string> Routes() const {
    std::vector<std::string> texts;
    for (const auto& item : routes_.Items()) texts.push_back(item.Text());
    return texts;
  }

  testing::RecordingSink dialog_sink_;
  RoutingTables routes_{manager_};
};

TEST(RouteOrderTest, ARouteThatBeginsWithAnotherStandsBeforeItOtherwiseAscending) {
  std::vector<RouteLine> lines;
  for (const char* route : {"1", "default", "12", "", "2", "123", "De", "AB", "ab", "B"}) {
    lines.push_back(RouteLine{route, "SNPP", "h", "444"});
  }
  SortRoutes(lines);
  std::vector<std::string> order;
  for (const auto& line : lines) order.push_back(line.route);
  EXPECT_EQ(order, (std::vector<std::string>{"123", "12", "1", "2", "ab", "AB", "B", "default", "De", ""}));
}

TEST_F(RoutingTablesTest, TheLongerPrefixIsWrittenFirstWithCrLfAndTheGatewayTakesIt) {
  Add("12", "SNPP", "snpp.example.org", "444");
  Add("1", "WCTP", "http://wctp.example.org/wctp", "0");
  Add("77", "TNPP", "$FFFF", "0x10");
  ASSERT_TRUE(routes_.Apply());
  EXPECT_EQ(dir_.Read("Route.Dat"),
            "12,SNPP,snpp.example.org,444\r\n1,WCTP,http://wctp.example.org/wctp,0\r\n77,TNPP,$FFFF,0x10\r\n");
  const RouteTable table = RouteTable::Load(dir_ / "Route.Dat");
  EXPECT_EQ(table.Find("1234")->route, "12");
  EXPECT_EQ(table.Find("1999")->route, "1");
  const TnppRouteTarget target = TnppTargetOf(*table.Find("7701"));
  EXPECT_EQ(target.destination, 0xFFFF);
  EXPECT_EQ(target.inertia, 0x10);
  EXPECT_TRUE(sink_.events.empty());  // not running: no restart prompt
}

TEST_F(RoutingTablesTest, TheDialogRefusesWhatWouldNotReadBackOrNotFitAPacket) {
  struct Case {
    const char* route;
    const char* transport;
    const char* destination;
    const char* port;
    const char* refusal;  // empty: accepted
    const char* focus;
  };
  const Case cases[] = {
      {"", "SNPP", "h", "444", "Must Specify Route", "Route"},
      {"1,2", "SNPP", "h", "444", "Route Must Not Contain A Comma", "Route"},
      {"1\n2", "SNPP", "h", "444", "Route Must Not Contain A Line Break", "Route"},
      {"1", "SNPP", "", "444", "Must Specify SNPP Server", "Destination"},
      {"1", "SNPP", "h", "", "Must Specify SNPP Port", "Port"},
      {"1", "TNPP", "", "3", "Must Specify Destination", "Destination"},
      {"1", "TNPP", "5", "", "Must Specify Inertia", "Port"},
      {"1", "WCTP", "", "0", "Must Specify WCTP Server", "Destination"},
      {"1", "WCTP", "u", "", "Must Specify WCTP Port", "Port"},
      {"1", "SNPP", "a,b", "444", "SNPP Server Must Not Contain A Comma", "Destination"},
      {"1", "WCTP", "http://u/\r", "0", "WCTP Server Must Not Contain A Line Break", "Destination"},
      {"1", "WCTP", "http://u/", "0\n", "WCTP Port Must Not Contain A Line Break", "Port"},
      {"1", "TNPP", "1A", "3", "Destination Must Be A Number From 0 To 65535", "Destination"},
      {"1", "TNPP", "65536", "3", "Destination Must Be A Number From 0 To 65535", "Destination"},
      {"1", "TNPP", "-1", "3", "Destination Must Be A Number From 0 To 65535", "Destination"},
      {"1", "TNPP", "5", "256", "Inertia Must Be A Number From 0 To 255", "Port"},
      {"1", "TNPP", "5", "3,4", "Inertia Must Be A Number From 0 To 255", "Port"},
      {"1", "TNPP", "65535", "$FF", "", ""},
      {"1", "SNPP", "h", "444,x", "", ""},  // the last field is the rest of the line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.route) + "," + c.transport + "," + c.destination + "," + c.port);
    dialog_sink_.events.clear();
    dialog_sink_.boxes.clear();
    TRouteDialogModel form;
    form.Route = c.route;
    form.SelectTransport(c.transport);
    form.Destination = c.destination;
    form.Port = c.port;
    const bool accepted = form.Accept(dialog_sink_);
    if (*c.refusal == '\0') {
      EXPECT_TRUE(accepted);
      EXPECT_TRUE(dialog_sink_.events.empty());
    } else {
      EXPECT_FALSE(accepted);
      EXPECT_EQ(dialog_sink_.events,
                (std::vector<std::string>{std::string("box:") + c.refusal, std::string("focus:") + c.focus}));
      EXPECT_EQ(dialog_sink_.boxes.at(0).kind, BoxKind::kWarning);
    }
  }

  // In place: the same route refusals; the item keeps its text.
  Add("5", "SNPP", "h", "444");
  Add("6", "SNPP", "h", "444");
  EXPECT_FALSE(routes_.EditRouteText(0, ""));
  EXPECT_FALSE(routes_.EditRouteText(0, "5,1"));
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"box:Must Specify Route", "focus:ListView1",
                                                     "box:Route Must Not Contain A Comma", "focus:ListView1"}));
  EXPECT_EQ(routes_.EditRouteText(0, "7"), 1u);  // sorted again
  EXPECT_EQ(Routes(), (std::vector<std::string>{"6,SNPP,h,444", "7,SNPP,h,444"}));
}

TEST_F(RoutingTablesTest, LinesWithoutACommaAreKeptAsTheyStandAndEditsSortAgain) {
  dir_.Write("Route.Dat", "  a note  \r\nkept as it stands \n\n9,tnpp,1,2\r\n3,TNPP,1,2\r\n");
  routes_.LoadRoutes();
  EXPECT_EQ(Routes(), (std::vector<std::string>{"3,TNPP,1,2", "9,tnpp,1,2", "  a note  ", "kept as it stands "}));
  EXPECT_EQ(RoutingTables::StateImage(routes_.Items()[0]), 1);
  EXPECT_EQ(RoutingTables::StateImage(routes_.Items()[1]), 0);

  // A transport other than the three opens as SNPP, its fields as they stand.
  EXPECT_FALSE(routes_.EditDialog(std::nullopt));
  std::optional<TRouteDialogModel> form = routes_.EditDialog(1);
  ASSERT_TRUE(form);
  EXPECT_EQ(form->Route, "9");
  EXPECT_EQ(form->Transport(), "SNPP");
  EXPECT_EQ(form->DestinationLabel, "&Server");
  EXPECT_EQ(form->Destination, "1");
  EXPECT_EQ(form->Port, "2");
  form->Route = "1";
  ASSERT_TRUE(form->Accept(dialog_sink_));
  EXPECT_EQ(routes_.EditRoute(1, form->Line()), 0u);
  ASSERT_TRUE(routes_.Apply());
  EXPECT_EQ(dir_.Read("Route.Dat"), "1,SNPP,1,2\r\n3,TNPP,1,2\r\n  a note  \r\nkept as it stands \r\n");
}

TEST_F(RoutingTablesTest, AFailedWriteIsShownAndKeepsTheOperatorsList) {
  std::filesystem::create_directory(dir_ / "Route.Dat");
  Add("12", "SNPP", "h", "444");
  EXPECT_FALSE(routes_.Apply());
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kError);
  EXPECT_NE(sink_.boxes[0].text.find("Route.Dat"), std::string::npos) << sink_.boxes[0].text;
  EXPECT_EQ(Routes(), (std::vector<std::string>{"12,SNPP,h,444"}));
}

TEST_F(RoutingTablesTest, DeletingAsksAndAnEmptyListWritesAnEmptyFile) {
  dir_.Write("Route.Dat", "12,SNPP,h,444\r\n");
  routes_.LoadRoutes();
  routes_.DeleteRoute(0);
  EXPECT_EQ(routes_.Items().size(), 1u);  // No
  sink_.answers.push_back(BoxAnswer::kYes);
  routes_.DeleteRoute(0);
  EXPECT_TRUE(routes_.Items().empty());
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Delete Route \"12\"?", "beep",
                                                     "box:Delete Route \"12\"?"}));
  EXPECT_EQ(dir_.Read("Route.Dat"), "12,SNPP,h,444\r\n");  // nothing written before Apply
  ASSERT_TRUE(routes_.Apply());
  EXPECT_TRUE(std::filesystem::exists(dir_ / "Route.Dat"));
  EXPECT_EQ(dir_.Read("Route.Dat"), "");
}

}  // namespace
}  // namespace vltg::manager
