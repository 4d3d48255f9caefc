#pragma once
// The "WCTP Settings" page: the [WCTP] sender settings.
#include <QWidget>

#include "manager/model/service_manager.h"

namespace vltg::manager {

class WctpPage : public QWidget {
  Q_OBJECT

 public:
  WctpPage(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);
};

}  // namespace vltg::manager
