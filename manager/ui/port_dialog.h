#pragma once
// The "TAP Modem Data" dialog: the port's general details and its direct
// access settings on two pages, OK, Cancel and Help. Made for one add or
// edit; the rules are TPortDialogModel's, and the controls of the port's
// settings come from its field table.
#include <QDialog>
#include <optional>

#include "manager/model/port_dialog_model.h"
#include "manager/ui/qt_message_sink.h"
#include "manager/ui/settings_controls.h"

class QComboBox;
class QLineEdit;
class QTabWidget;

namespace vltg::manager {

class PortDialog : public QDialog {
  Q_OBJECT

 public:
  PortDialog(TPortDialogModel& model, QWidget* parent = nullptr);

  QTabWidget* Pages() const { return pages_; }

 private:
  // The controls into the model.
  void Store();
  // OK: the controls into the model, and closed once the model accepts.
  void TryAccept();

  TPortDialogModel& model_;
  QtMessageSink sink_;
  QTabWidget* pages_;
  QLineEdit* modem_name_;
  QComboBox* modem_;
  // Made after the name and the Modem list, which come first in tab order.
  std::optional<SettingsControls> controls_;
};

}  // namespace vltg::manager
