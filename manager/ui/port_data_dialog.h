#pragma once
// The "TAP Modem Data" dialog: the port's general details and its direct
// access settings on two pages, OK, Cancel and Help. Made for one add or
// edit; the rules are TPortDataForm's.
#include <QDialog>

#include "manager/model/port_data_form.h"
#include "manager/ui/qt_message_sink.h"

class QCheckBox;
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
  QLineEdit* password_;
  QLineEdit* time_out_;
  QLineEdit* rings_;
  QLineEdit* max_msg_length_;
  QCheckBox* turncate_;
  QCheckBox* enabled_;
  QComboBox* com_port_;
  QComboBox* data_settings_;
  QComboBox* flow_ctrl_;
  QComboBox* com_speed_;
  QCheckBox* direct_access_;
};

}  // namespace vltg::manager
