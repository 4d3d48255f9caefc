#pragma once
// The "Routing Tables" page: the route list and Route.Dat.
#include <QWidget>

#include "manager/model/service_manager.h"

namespace vltg::manager {

class RoutingPage : public QWidget {
  Q_OBJECT

 public:
  RoutingPage(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);
};

}  // namespace vltg::manager
