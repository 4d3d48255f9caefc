#pragma once
// The "TAP Modem Data" dialog: the port's general details and its direct
// access settings on two pages, OK, Cancel and Help. Made for one add or
// edit; the rules are TPortDataForm's, and the controls of the port's
// settings come from its field table.
#include <QDialog>
#include <optional>

#include "manager/model/port_data_form.h"
#include "manager/ui/qt_message_sink.h"
#include "manager/ui/settings_controls.h"

class QComboBox;
class QLineEdit;
class QTabWidget;

namespace vltg::manager {

class PortDataDialog : public QDialog {
  Q_OBJECT

 public:
  PortDataDialog(TPortDataForm& form, QWidget* parent = nullptr);

  QTabWidget* Pages() const { return pages_; }

 private:
  // The controls into the form.
  void Store();
  void OKButClick();

  TPortDataForm& form_;
  QtMessageSink sink_;
  QTabWidget* pages_;
  QLineEdit* modem_name_;
  QComboBox* modem_;
  // Made after the name and the Modem list, which come first in tab order.
  std::optional<SettingsControls> controls_;
};

}  // namespace vltg::manager
