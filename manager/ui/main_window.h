#pragma once
// The manager's main window: the settings pages over a status bar, the File,
// Service and Help menus, the status poll, and the notification icon with
// its menu. Closing it minimizes it; only Exit ends the program. Every rule
// is the model's.
#include <QMainWindow>
#include <QSystemTrayIcon>

#include "manager/model/service_manager.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;

namespace vltg::manager {

class ServiceGroup;
class TTrayIcon;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `notification_area`: the desktop has one (tests choose).
  MainWindow(TServiceManager& manager, QWidget* parent = nullptr,
             bool notification_area = QSystemTrayIcon::isSystemTrayAvailable());
  ~MainWindow() override;

  QTabWidget* Pages() const { return pages_; }
  TTrayIcon& TrayIcon() const { return *tray_icon_; }
  QMenu* TrayMenu() const { return tray_menu_; }
  QString StatusText() const;

  // The last step of the start: minimized into the notification area, or
  // shown where the desktop has none.
  void ShowAtStart();

  void Exit();
  void ShowAbout();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildPages();
  void BuildMenus();
  void ApplyLook();

  TServiceManager& manager_;
  const bool notification_area_;
  QTabWidget* pages_;
  ServiceGroup* service_group_ = nullptr;
  QLabel* status_text_;
  QMenu* tray_menu_ = nullptr;
  TTrayIcon* tray_icon_ = nullptr;
  QTimer* poll_timer_;
  // The Service menu's items and the notification menu's.
  QAction* start_ = nullptr;
  QAction* stop_ = nullptr;
  QAction* restart_ = nullptr;
  QAction* install_ = nullptr;
  QAction* uninstall_ = nullptr;
  QAction* tray_start_ = nullptr;
  QAction* tray_stop_ = nullptr;
  QAction* tray_restart_ = nullptr;
  bool exiting_ = false;
};

}  // namespace vltg::manager
