#include "manager/ui/main_window.h"

#include <QHBoxLayout>
#include <QTabWidget>

#include "manager/ui/misc_page.h"
#include "manager/ui/routing_page.h"
#include "manager/ui/service_group.h"
#include "manager/ui/tap_port_group.h"
#include "manager/ui/tnpp_page.h"
#include "manager/ui/wctp_page.h"

namespace vltg::manager {

MainWindow::MainWindow(TVLSGSrvcMngr& manager, QWidget* parent)
    : QMainWindow(parent), manager_(manager), pages_(new QTabWidget(this)) {
  setObjectName("VLSGSrvcMngr");
  setWindowTitle("Velomar TAP Gateway Service Manager");
  pages_->setObjectName("PageControl1");

  auto* general = new QWidget(pages_);
  general->setObjectName("GeneralPage");
  auto* general_layout = new QHBoxLayout(general);
  general_layout->addWidget(new ServiceGroup(manager_, general));
  general_layout->addWidget(new TapPortGroup(manager_, general));

  pages_->addTab(general, "General Settings");
  pages_->addTab(new TnppPage(manager_, pages_), "TNPP Settings");
  pages_->addTab(new WctpPage(manager_, pages_), "WCTP Settings");
  pages_->addTab(new RoutingPage(manager_, pages_), "Routing Tables");
  pages_->addTab(new MiscPage(manager_, pages_), "Misc. Settings");
  pages_->setCurrentIndex(0);
  setCentralWidget(pages_);
}

}  // namespace vltg::manager
