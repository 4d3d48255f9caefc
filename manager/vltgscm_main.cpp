// VLTGSCM: the gateway's service manager.
#include <QApplication>

#include "gateway/data_directory.h"
#include "manager/model/service_manager.h"
#include "manager/ui/main_window.h"
#include "manager/ui/modem_config_dialog.h"
#include "manager/ui/qt_message_sink.h"

int main(int argc, char** argv) {
  using namespace vltg::manager;
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(kManagerTitle);
  InstallModemConfigDialog();
  QtMessageSink sink;
  const vltg::platform::ScManagerHandle manager = vltg::platform::OpenSCManager();
  TVLSGSrvcMngr model(sink, manager, vltg::DataDirectory());
  MainWindow window(model);
  sink.SetWindow(&window);
  model.RefreshServiceStatus();
  window.show();
  return QApplication::exec();
}
