#pragma once
// The "TAP Port Settings" group of the general page: the TAP port list.
#include <QGroupBox>

#include "manager/model/service_manager.h"

namespace vltg::manager {

class TapPortGroup : public QGroupBox {
  Q_OBJECT

 public:
  TapPortGroup(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);
};

}  // namespace vltg::manager
