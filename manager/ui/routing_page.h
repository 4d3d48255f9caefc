#pragma once
// The "Routing Tables" page: the route list and Route.Dat. It runs the
// "Routing Data" dialog and hands what it accepted to the list.
#include <QWidget>
#include <cstddef>
#include <functional>
#include <optional>

#include "manager/model/page_host.h"
#include "manager/model/routing_tables.h"

class QTreeWidget;

namespace vltg::manager {

class RoutingPage : public QWidget {
  Q_OBJECT

 public:
  RoutingPage(PageHost& host, QWidget* parent = nullptr);

  QTreeWidget* List() const { return list_; }

 private:
  // Shows the model's list again, the item at `select` selected.
  void Refill(std::optional<std::size_t> select = std::nullopt);
  std::optional<std::size_t> Selected() const;
  // The dialog on `form`, modal to the page; true when it closed with OK.
  bool RunDialog(TRouteDialogModel& form);
  // Hands an in-place edit that has ended to the list now. A button clicked
  // to end it runs before the edit would otherwise arrive, and must act on it.
  void TakeEdit();

  std::function<void()> pending_edit_;

  PageHost& host_;
  RoutingTables routes_;
  QTreeWidget* list_;
};

}  // namespace vltg::manager
