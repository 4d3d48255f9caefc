#include "manager/ui/modem_config_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "manager/ui/named_controls.h"
#include "platform/telephony/line_api.h"

namespace vltg::manager {
namespace {

using platform::DeviceConfig;

// Flow control positions: none, RTS/CTS, XON/XOFF, both.
int FlowIndex(const DeviceConfig& config) { return (config.rts_cts ? 1 : 0) + (config.xon_xoff ? 2 : 0); }

}  // namespace

ModemConfigDialog::ModemConfigDialog(const std::string& line_name, const DeviceConfig& config, QWidget* parent)
    : QDialog(parent), given_(config) {
  setObjectName("ModemConfigDialog");
  setWindowTitle(QString::fromStdString(line_name) + " Properties");

  QStringList speeds;
  for (const uint32_t speed : platform::kDeviceSpeeds) speeds << QString::number(speed);
  const auto speed_at = std::find(std::begin(platform::kDeviceSpeeds), std::end(platform::kDeviceSpeeds), config.speed);
  speed_ = NamedList(this, "Speed", speeds, static_cast<int>(speed_at - std::begin(platform::kDeviceSpeeds)));
  data_bits_ = NamedList(this, "DataBits", {"5", "6", "7", "8"}, config.data_bits - 5);
  parity_ = NamedList(this, "Parity", {"None", "Odd", "Even", "Mark", "Space"}, static_cast<int>(config.parity));
  stop_bits_ = NamedList(this, "StopBits", {"1", "1.5", "2"}, static_cast<int>(config.stop_bits));
  flow_control_ =
      NamedList(this, "FlowControl", {"None", "Hardware (RTS/CTS)", "Software (XON/XOFF)", "Both"}, FlowIndex(config));
  watch_carrier_ = NamedCheck(this, "WatchCarrier", "&End the call when the carrier is lost", config.watch_carrier);
  init_command_ = NamedEdit(this, "InitCommand", config.init_command);
  init_command_->setMaxLength(static_cast<int>(platform::kMaxInitCommand));
  init_command_->setValidator(new QRegularExpressionValidator(QRegularExpression("[ -~]*"), init_command_));

  auto* form = new QFormLayout;
  form->addRow("Maximum &speed:", speed_);
  form->addRow("&Data bits:", data_bits_);
  form->addRow("&Parity:", parity_);
  form->addRow("S&top bits:", stop_bits_);
  form->addRow("&Flow control:", flow_control_);
  form->addRow(watch_carrier_);
  form->addRow("Extra &initialization command:", init_command_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

DeviceConfig ModemConfigDialog::Config() const {
  DeviceConfig config = given_;
  if (speed_->currentIndex() >= 0) config.speed = platform::kDeviceSpeeds[speed_->currentIndex()];
  config.data_bits = data_bits_->currentIndex() + 5;
  config.parity = static_cast<platform::SerialParity>(parity_->currentIndex());
  config.stop_bits = static_cast<platform::SerialStopBits>(stop_bits_->currentIndex());
  config.rts_cts = (flow_control_->currentIndex() & 1) != 0;
  config.xon_xoff = (flow_control_->currentIndex() & 2) != 0;
  config.watch_carrier = watch_carrier_->isChecked();
  config.init_command = init_command_->text().trimmed().toStdString();
  return config;
}

void InstallModemConfigDialog() {
  platform::SetDevConfigDialog([](void* owner, const std::string& line_name, DeviceConfig& config) {
    ModemConfigDialog dialog(line_name, config, static_cast<QWidget*>(owner));
    if (dialog.exec() != QDialog::Accepted) return false;
    config = dialog.Config();
    return true;
  });
}

}  // namespace vltg::manager
