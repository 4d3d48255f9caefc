#include "manager/ui/tap_port_group.h"

namespace vltg::manager {

TapPortGroup::TapPortGroup(TVLSGSrvcMngr& /*manager*/, QWidget* parent) : QGroupBox(parent) {
  setObjectName("TapPortGroup");
  setTitle("TAP Port Settings");
}

}  // namespace vltg::manager
