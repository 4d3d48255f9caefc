#pragma once
// The "Routing Tables" page: the route list as Route.Dat holds it plus the
// operator's unsaved changes, kept in route order (route_order.h), and its
// Apply, the one write of Route.Dat. The window runs the "Routing Data"
// dialog and hands the route it accepted here.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "datafiles/route_table.h"
#include "manager/model/page_host.h"
#include "manager/model/route_dialog_model.h"

namespace vltg::manager {

class RoutingTables {
 public:
  // Loads the list.
  explicit RoutingTables(PageHost& host);

  // One item per route, in list order. A line of Route.Dat without any comma
  // stays as it stands (all of it in field4, has_fields false).
  const std::vector<RouteLine>& Items() const { return FItems; }
  // The item's state image: 1 for a TNPP route, else 0.
  static int StateImage(const RouteLine& item);

  // Fills the list from Route.Dat; a missing file gives an empty list, and so
  // does one that cannot be read, whose reason then refuses every Apply.
  void LoadRoutes();
  // Add: a new route's place in the list.
  std::size_t AddRoute(RouteLine route);
  // Edit: the dialog's fields for the selected item; nothing when nothing is
  // selected. Then the item replaced by the route the dialog accepted: its
  // place afterwards, nothing when there is no such item.
  std::optional<TRouteDialogModel> EditDialog(std::optional<std::size_t> selected) const;
  std::optional<std::size_t> EditRoute(std::size_t index, RouteLine route);
  // Delete, once the operator confirms.
  void DeleteRoute(std::optional<std::size_t> selected);
  // The route text edited in place: the item's place afterwards, or nothing
  // when the text was refused (the item keeps its text).
  std::optional<std::size_t> EditRouteText(std::size_t item, const std::string& route);
  // Writes Route.Dat; true when it was written. A failed write, or a file
  // that could not be read, is shown and the list kept as the operator left it.
  bool Apply();

 private:
  std::size_t Place(RouteLine item);

  PageHost& FHost;
  std::vector<RouteLine> FItems;
  // Why Route.Dat could not be read; empty when it could.
  std::string FUnreadable;
};

}  // namespace vltg::manager
