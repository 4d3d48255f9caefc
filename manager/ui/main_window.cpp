#include "manager/ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "manager/ui/about_box.h"
#include "manager/ui/help_context.h"
#include "manager/ui/misc_page.h"
#include "manager/ui/routing_page.h"
#include "manager/ui/service_group.h"
#include "manager/ui/status_icons.h"
#include "manager/ui/tap_port_group.h"
#include "manager/ui/tnpp_page.h"
#include "manager/ui/tray_icon.h"
#include "manager/ui/wctp_page.h"

namespace vltg::manager {

namespace {

constexpr char kVersionText[] = "Version 1.2.5";

template <typename Handler>
QAction* AddItem(QMenu* menu, const char* name, const char* caption, QObject* context, Handler handler) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(name);
  QObject::connect(item, &QAction::triggered, context, handler);
  return item;
}

}  // namespace

MainWindow::MainWindow(TServiceManager& manager, QWidget* parent, bool notification_area)
    : QMainWindow(parent),
      manager_(manager),
      notification_area_(notification_area),
      pages_(new QTabWidget(this)),
      status_text_(new QLabel(this)),
      poll_timer_(new QTimer(this)) {
  setObjectName("VLSGSrvcMngr");
  setWindowTitle("Velomar TAP Gateway Service Manager");
  // A fixed border with the system menu and the minimize box only.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  manager_.WindowCreated();
  BuildPages();
  statusBar()->setObjectName("StatusBar1");
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(status_text_, 1);
  BuildMenus();

  tray_icon_ = new TTrayIcon(this, notification_area_);
  tray_icon_->setObjectName("TrayIcon1");
  tray_icon_->SetIcon(GatewayStateIcon(manager_.Look().icon));  // before it is shown
  tray_icon_->SetActive(true);
  tray_icon_->SetPopupMenu(tray_menu_);
  tray_icon_->SetSeparateIcon(true);
  tray_icon_->OnDblClick = [](TTrayIcon& sender) { sender.AppRestore(); };

  poll_timer_->setObjectName("Timer2");
  poll_timer_->setInterval(kStatusPollMs);
  connect(poll_timer_, &QTimer::timeout, this, [this] { manager_.PollStatus(); });
  poll_timer_->start();

  InstallHelpKey(this, [this](int context) { manager_.ShowHelp(context); });
  manager_.OnLookChange = [this](TServiceManager&) { ApplyLook(); };
  manager_.OnExit = [this](TServiceManager&) {
    exiting_ = true;
    close();
    QApplication::quit();
  };
  ApplyLook();

  const QSize client(491, 286);
  setFixedSize(client.expandedTo(centralWidget()->minimumSizeHint() + QSize(0, statusBar()->sizeHint().height())) +
               QSize(0, menuBar()->sizeHint().height()));
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

MainWindow::~MainWindow() {
  manager_.OnLookChange = nullptr;
  manager_.OnExit = nullptr;
}

void MainWindow::BuildPages() {
  pages_->setObjectName("PageControl1");
  pages_->setUsesScrollButtons(false);  // every page's tab in sight
  auto* general = new QWidget(pages_);
  general->setObjectName("GeneralPage");
  auto* general_layout = new QHBoxLayout(general);
  service_group_ = new ServiceGroup(manager_, general);
  auto* tap_ports = new TapPortGroup(manager_, general);
  SetHelpContext(tap_ports, 20);
  general_layout->addWidget(service_group_);
  general_layout->addWidget(tap_ports, 1);

  struct Page {
    QWidget* page;
    const char* caption;
    int help_context;
  };
  for (const Page& page :
       {Page{general, "General Settings", 10}, Page{new TnppPage(manager_, pages_), "TNPP Settings", 30},
        Page{new WctpPage(manager_, pages_), "WCTP Settings", 40},
        Page{new RoutingPage(manager_, pages_), "Routing Tables", 50},
        Page{new MiscPage(manager_, pages_), "Misc. Settings", 0}}) {
    SetHelpContext(page.page, page.help_context);
    pages_->addTab(page.page, page.caption);
  }
  pages_->setCurrentIndex(0);
  setCentralWidget(pages_);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  AddItem(file, "Exit1", "E&xit", this, [this] { Exit(); });

  QMenu* service = menuBar()->addMenu("&Service");
  start_ = AddItem(service, "Start1", "&Start", this, [this] { manager_.Start(); });
  stop_ = AddItem(service, "Stop1", "Sto&p", this, [this] { manager_.Stop(); });
  restart_ = AddItem(service, "Restart1", "&Restart", this, [this] { manager_.Restart(); });
  service->addSeparator();
  install_ = AddItem(service, "Install1", "&Install", this, [this] { manager_.Install(); });
  uninstall_ = AddItem(service, "Uninstall1", "&Uninstall", this, [this] { manager_.Uninstall(); });

  QMenu* help = menuBar()->addMenu("&Help");
  AddItem(help, "Contents1", "&Contents", this, [this] { manager_.ShowHelpContents(); });
  AddItem(help, "About2", "&About", this, [this] { ShowAbout(); });

  tray_menu_ = new QMenu(this);
  tray_menu_->setObjectName("PopupMenu1");
  tray_start_ = AddItem(tray_menu_, "Start2", "&Start", this, [this] { manager_.Start(); });
  tray_stop_ = AddItem(tray_menu_, "Stop2", "Sto&p", this, [this] { manager_.Stop(); });
  tray_restart_ = AddItem(tray_menu_, "Restart2", "&Restart", this, [this] { manager_.Restart(); });
  tray_menu_->addSeparator();
  AddItem(tray_menu_, "Setup1", "&Setup", this, [this] { tray_icon_->AppRestore(); });
  AddItem(tray_menu_, "Exit2", "E&xit", this, [this] { Exit(); });
}

// The service's look in the menus, the buttons, the icons and the status
// bar; the service actions rest while an operation runs.
void MainWindow::ApplyLook() {
  const ServiceLook& look = manager_.Look();
  const bool idle = !manager_.Busy();
  for (QAction* start : {start_, tray_start_}) start->setEnabled(look.start && idle);
  for (QAction* stop : {stop_, tray_stop_}) stop->setEnabled(look.stop && idle);
  for (QAction* restart : {restart_, tray_restart_}) restart->setEnabled(look.restart && idle);
  install_->setEnabled(look.install && idle);
  uninstall_->setEnabled(look.uninstall && idle);
  service_group_->ApplyLook();
  const QIcon icon = GatewayStateIcon(look.icon);
  QApplication::setWindowIcon(icon);
  setWindowIcon(icon);
  tray_icon_->SetIcon(icon);
  tray_icon_->SetHint(QString::fromStdString(look.tip));
  status_text_->setText(QString::fromStdString(look.status));
}

QString MainWindow::StatusText() const { return status_text_->text(); }

void MainWindow::ShowAtStart() {
  if (notification_area_) {
    setWindowState(windowState() | Qt::WindowMinimized);  // into the notification area
  } else {
    show();
  }
}

// The window and its icon go at once; the program ends once a running
// operation has finished.
void MainWindow::Exit() {
  poll_timer_->stop();
  hide();
  tray_icon_->SetActive(false);
  manager_.Exit();
}

void MainWindow::ShowAbout() {
  TAboutBox box(manager_.Sink(), this);
  box.Version->setText(kVersionText);
  box.exec();
}

// Closing minimizes: only Exit ends the program.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (exiting_) {
    event->accept();
    return;
  }
  event->ignore();
  showMinimized();
}

}  // namespace vltg::manager
