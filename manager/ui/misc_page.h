#pragma once
// The "Misc. Settings" page: manual TAP entry settings.
#include <QWidget>

#include "manager/model/service_manager.h"

namespace vltg::manager {

class MiscPage : public QWidget {
  Q_OBJECT

 public:
  MiscPage(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);
};

}  // namespace vltg::manager
