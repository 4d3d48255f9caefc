#pragma once
// The "Service Settings" group of the general page: install, uninstall, the service logon.
#include <QGroupBox>

#include "manager/model/service_manager.h"

namespace vltg::manager {

class ServiceGroup : public QGroupBox {
  Q_OBJECT

 public:
  ServiceGroup(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);
};

}  // namespace vltg::manager
