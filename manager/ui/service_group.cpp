#include "manager/ui/service_group.h"

namespace vltg::manager {

ServiceGroup::ServiceGroup(TVLSGSrvcMngr& /*manager*/, QWidget* parent) : QGroupBox(parent) {
  setObjectName("ServiceGroup");
  setTitle("Service Settings");
}

}  // namespace vltg::manager
