#pragma once
// The manager's main window: the settings pages over a status bar, the
// service menu, and the notification icon. Every rule is the model's.
#include <QMainWindow>

#include "manager/model/service_manager.h"

class QTabWidget;

namespace vltg::manager {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);

  QTabWidget* Pages() const { return pages_; }

 private:
  TVLSGSrvcMngr& manager_;
  QTabWidget* pages_;
};

}  // namespace vltg::manager
