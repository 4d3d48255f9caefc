#pragma once
// The "TNPP Settings" page: the [TNPP] link settings.
#include <QWidget>

#include "manager/model/service_manager.h"

namespace vltg::manager {

class TnppPage : public QWidget {
  Q_OBJECT

 public:
  TnppPage(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);
};

}  // namespace vltg::manager
