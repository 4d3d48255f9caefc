// The borders of the manager's windows under a real window manager: what each
// window asks for in its Motif hints (which any window manager reads) and what
// openbox then offers it (_NET_WM_ALLOWED_ACTIONS).
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "manager/ui/about_box.h"
#include "manager/ui/main_window.h"
#include "manager/ui/port_dialog.h"
#include "manager/ui/route_dialog.h"
#include "tests/manager/desktop/desktop_test.h"

namespace vltg::manager {
namespace {

// The functions a window asks a window manager for, among those its border
// decides, from its Motif hints: "all" when it leaves them to the manager.
std::string AskedFor(const std::vector<std::string>& motif_hints) {
  if (motif_hints.size() < 2) return "no hints";
  const unsigned long flags = std::stoul(motif_hints[0], nullptr, 0);
  const unsigned long functions = std::stoul(motif_hints[1], nullptr, 0);
  if (!(flags & 1) || (functions & 1)) return "all";
  std::string asked;
  for (const auto& [bit, name] : {std::pair{8ul, "minimize"}, {16ul, "maximize"}, {32ul, "close"}})
    if (functions & bit) asked += asked.empty() ? name : std::string(" ") + name;
  return asked;
}

// What openbox offers a window, among the actions its border decides.
std::string Offered(const std::vector<std::string>& allowed_actions) {
  std::string offered;
  for (const char* action : {"CLOSE", "MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "RESIZE"}) {
    if (std::find(allowed_actions.begin(), allowed_actions.end(), std::string("_NET_WM_ACTION_") + action) !=
        allowed_actions.end())
      offered += offered.empty() ? action : std::string(" ") + action;
  }
  return offered;
}

TEST_F(DesktopTest, EachWindowHasTheBorderItsMadeWith) {
  MainWindow window(manager_, nullptr, false);
  TAboutBox about(manager_.Sink(), &window);
  TPortDialogModel port_form(manager_, {{"Modem A", 0}}, {}, false);
  PortDialog port(port_form, &window);
  TRouteDialogModel route_form;
  RouteDialog route(route_form, {}, &window);

  // openbox offers every window it manages closing and minimizing, whatever
  // its hints ask; resizing and maximizing follow the border.
  struct Border {
    const char* window;
    QWidget* widget;
    std::string asked;
    std::string offered;
  };
  const Border borders[] = {
      // A fixed single border with the system menu and the minimize box.
      {"main window", &window, "minimize close", "CLOSE MINIMIZE"},
      // Dialog borders, the system menu closing them.
      {"about box", &about, "close", "CLOSE MINIMIZE"},
      {"port dialog", &port, "close", "CLOSE MINIMIZE"},
      // A dialog border without border icons.
      {"route dialog", &route, "", "CLOSE MINIMIZE"},
  };
  for (const Border& border : borders) border.widget->show();
  for (const Border& border : borders) {
    SCOPED_TRACE(border.window);
    const unsigned long id = border.widget->winId();
    EXPECT_EQ(AskedFor(desktop_->Property(id, "_MOTIF_WM_HINTS")), border.asked);
    // The offer is made once the window is managed; a late size hint may
    // change it.
    std::string offered;
    (void)QTest::qWaitFor(
        [&] {
          offered = Offered(desktop_->Property(id, "_NET_WM_ALLOWED_ACTIONS"));
          return ManagedAs(*border.widget) == "Normal" && offered == border.offered;
        },
        kDesktopDeadlineMs);
    EXPECT_EQ(offered, border.offered) << "managed as \"" << ManagedAs(*border.widget) << '"';
  }
}

}  // namespace
}  // namespace vltg::manager
