#include "manager/model/routing_tables.h"

#include <algorithm>
#include <utility>

#include "datafiles/data_directory.h"
#include "manager/model/route_order.h"
#include "platform/base/exception.h"
#include "platform/base/whole_file.h"

namespace vltg::manager {

RoutingTables::RoutingTables(PageHost& host) : FHost(host) { LoadRoutes(); }

int RoutingTables::StateImage(const RouteLine& item) { return item.transport == kTransportTnpp ? 1 : 0; }

void RoutingTables::LoadRoutes() {
  FUnreadable.clear();
  try {
    FItems = RouteTable::Load(FHost.FilePath(kRouteFileName)).Lines();
  } catch (const platform::EFileError& e) {
    FItems.clear();
    FUnreadable = e.Message();
  }
  SortRoutes(FItems);
}

std::size_t RoutingTables::Place(RouteLine item) {
  const auto at = std::upper_bound(FItems.begin(), FItems.end(), item, [](const RouteLine& a, const RouteLine& b) {
    return RouteBefore(a.route, b.route);
  });
  return static_cast<std::size_t>(FItems.insert(at, std::move(item)) - FItems.begin());
}

std::size_t RoutingTables::AddRoute(RouteLine route) { return Place(std::move(route)); }

std::optional<TRouteDialogModel> RoutingTables::EditDialog(std::optional<std::size_t> selected) const {
  if (!selected || *selected >= FItems.size()) return std::nullopt;
  const RouteLine& item = FItems[*selected];
  TRouteDialogModel dialog;
  dialog.Route = item.route;
  dialog.SelectTransport(item.transport);
  dialog.Relabel();
  dialog.Destination = item.field3;
  dialog.Port = item.field4;
  return dialog;
}

std::optional<std::size_t> RoutingTables::EditRoute(std::size_t index, RouteLine route) {
  if (index >= FItems.size()) return std::nullopt;
  FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
  return Place(std::move(route));
}

void RoutingTables::DeleteRoute(std::optional<std::size_t> selected) {
  if (!selected || *selected >= FItems.size()) return;
  MessageSink& sink = FHost.Sink();
  sink.Beep();
  if (sink.ShowBox("Delete Route \"" + FItems[*selected].route + "\"?", BoxKind::kWarning, BoxButtons::kYesNo) ==
      BoxAnswer::kYes) {
    FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(*selected));
  }
}

std::optional<std::size_t> RoutingTables::EditRouteText(std::size_t item, const std::string& route) {
  if (item >= FItems.size()) return std::nullopt;
  if (const auto fault = CheckRouteText(route)) {
    ShowRouteFault(FHost.Sink(), RouteFault{fault->text, "ListView1"});
    return std::nullopt;
  }
  RouteLine edited = FItems[item];
  edited.route = route;
  edited.has_fields = true;
  FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(item));
  return Place(std::move(edited));
}

bool RoutingTables::Apply() {
  // The list lacks the routes the file holds: writing it would lose them.
  if (!FUnreadable.empty()) {
    FHost.Sink().ShowBox(FUnreadable, BoxKind::kError, BoxButtons::kOk);
    return false;
  }
  try {
    RouteTable(FItems).Save(FHost.FilePath(kRouteFileName));
  } catch (const Exception& e) {
    FHost.Sink().ShowBox(e.Message(), BoxKind::kError, BoxButtons::kOk);
    return false;
  }
  LoadRoutes();
  FHost.RestartPrompt();
  return true;
}

}  // namespace vltg::manager
