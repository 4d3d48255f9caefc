#pragma once
// The "Routing Tables" page: the route list and Route.Dat.
#include <QWidget>
#include <cstddef>
#include <optional>

#include "manager/model/routing_tables.h"
#include "manager/model/service_manager.h"

class QTreeWidget;

namespace vltg::manager {

class RoutingPage : public QWidget {
  Q_OBJECT

 public:
  RoutingPage(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);

  QTreeWidget* List() const { return list_; }

 private:
  // Shows the model's list again, the item at `select` selected.
  void Refill(std::optional<std::size_t> select = std::nullopt);
  std::optional<std::size_t> Selected() const;

  RoutingTables routes_;
  QTreeWidget* list_;
};

}  // namespace vltg::manager
