#pragma once
// Our telephony provider's own configuration dialog for a modem line, the one
// lineConfigDialogEdit shows: speed, character format, flow control, carrier
// watch and the extra initialisation command of the line's device
// configuration. The manager installs it into the line layer at start.
#include <QDialog>
#include <string>

#include "platform/telephony/device_config.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vltg::manager {

class ModemConfigDialog : public QDialog {
  Q_OBJECT

 public:
  ModemConfigDialog(const std::string& line_name, const platform::DeviceConfig& config, QWidget* parent = nullptr);

  // The configuration as the controls now show it.
  platform::DeviceConfig Config() const;

 private:
  const platform::DeviceConfig given_;  // what a control cannot show stays as given
  QComboBox* speed_;
  QComboBox* data_bits_;
  QComboBox* parity_;
  QComboBox* stop_bits_;
  QComboBox* flow_control_;
  QCheckBox* watch_carrier_;
  QLineEdit* init_command_;
};

// Makes the line layer show ModemConfigDialog, modal to the owner it is
// given (a QWidget, or none).
void InstallModemConfigDialog();

}  // namespace vltg::manager
