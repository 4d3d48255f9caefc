// VLTGSCM: the gateway's service manager.
#include <QApplication>

#include "datafiles/data_directory.h"
#include "manager/model/service_manager.h"
#include "manager/ui/main_window.h"
#include "manager/ui/modem_config_dialog.h"
#include "manager/ui/qt_background_runner.h"
#include "manager/ui/qt_dialing_form.h"
#include "manager/ui/qt_message_sink.h"

int main(int argc, char** argv) {
  using namespace vltg::manager;
  QApplication app(argc, argv);  // for the boxes, the first one included
  // The window lives on in the notification area: closing a box while it is
  // hidden must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallModemConfigDialog();
  InstallDialingForm();
  QtMessageSink sink;
  const vltg::platform::ScManagerHandle manager = OpenServiceDatabase(sink);
  if (!manager) return 1;
  // Before the model, which hands it work until its end.
  QtBackgroundRunner runner;
  TServiceManager model(sink, manager, vltg::DataDirectory(), runner);
  sink.SetHelpHandler([&model](int context) { model.ShowHelp(context); });
  model.CheckSettingsExist();
  // The application title (boxes, the tip). As the name, not the display
  // name, which Qt would append to every window caption.
  QApplication::setApplicationName(kManagerTitle);
  MainWindow window(model);
  sink.SetWindow(&window);
  window.ShowAtStart();
  return QApplication::exec();
}
