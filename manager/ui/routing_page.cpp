#include "manager/ui/routing_page.h"

namespace vltg::manager {

RoutingPage::RoutingPage(TVLSGSrvcMngr& /*manager*/, QWidget* parent) : QWidget(parent) {
  setObjectName("RoutingPage");
}

}  // namespace vltg::manager
