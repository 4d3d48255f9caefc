#include "manager/ui/port_data_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "manager/ui/help_context.h"
#include "manager/ui/named_controls.h"
#include "manager/ui/qt_text.h"

namespace vltg::manager {
namespace {

QLineEdit* Edit(QWidget* parent, const char* name, const std::string& text, const char* hint = nullptr) {
  QLineEdit* edit = NamedEdit(parent, name, text);
  if (hint != nullptr) edit->setToolTip(hint);
  return edit;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  return button;
}

// The bold label of one of the first fields.
QLabel* BoldLabel(QWidget* parent, const char* caption, QWidget* buddy) {
  auto* label = new QLabel(caption, parent);
  label->setBuddy(buddy);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

PortDataDialog::PortDataDialog(TPortDataForm& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      form_(form),
      sink_(this),
      pages_(new QTabWidget(this)) {
  setObjectName("PortDataForm");
  setWindowTitle("TAP Modem Data");
  form_.SetSink(sink_);
  form_.Owner = static_cast<QWidget*>(this);
  const TPortData& data = form_.Data;
  pages_->setObjectName("PageControl1");

  auto* general = new QWidget(pages_);
  general->setObjectName("GeneralDetails");
  modem_name_ = Edit(general, "ModemName", form_.ModemName, "Enter Users Name");
  // An edited port keeps its name: [Tap Ports] names its section.
  modem_name_->setReadOnly(form_.Editing());
  QStringList lines;
  for (const auto& line : form_.Lines()) lines << QString::fromStdString(line.Name);
  modem_ = NamedList(general, "Modem", lines, form_.ModemIndex());
  modem_->setToolTip("Provider To Access");
  password_ = Edit(general, "Password", data.Password, "Enter Users Name");
  auto* settings = new QPushButton("TAP Modem &Settings", general);
  settings->setObjectName("BitBtn4");
  auto* divider = new QFrame(general);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  time_out_ = Edit(general, "TimeOut", data.TimeOut);
  rings_ = Edit(general, "RingsToAnswer", data.RingsToAnswer);
  max_msg_length_ = Edit(general, "MaxMsgLength", data.MaxMsgLength);
  turncate_ = NamedCheck(general, "Turncate", "Turncate Messages", data.Turncate);
  enabled_ = NamedCheck(general, "Enabled", "Port &Enabled", data.Enabled);
  enabled_->setToolTip("Select If User Has A Numeric Only Pager");
  QFont bold = enabled_->font();
  bold.setBold(true);
  enabled_->setFont(bold);
  enabled_->setStyleSheet("color: red");

  auto* general_layout = new QFormLayout(general);
  general_layout->addRow(BoldLabel(general, "&Port Name:", modem_name_), modem_name_);
  general_layout->addRow(BoldLabel(general, "&Modem:", modem_), modem_);
  general_layout->addRow(BoldLabel(general, "&Password:", password_), password_);
  general_layout->addRow(QString(), settings);
  general_layout->addRow(divider);
  general_layout->addRow("Time Out:", time_out_);
  general_layout->addRow("Rings to Answer:", rings_);
  general_layout->addRow("Max Msg Length:", max_msg_length_);
  general_layout->addRow(turncate_);
  general_layout->addRow(enabled_);

  auto* direct = new QWidget(pages_);
  direct->setObjectName("DirectAccessPortSettings");
  com_port_ = NamedList(direct, "ComPort", ItemTexts(ComPortItems()), data.ComPort);
  data_settings_ = NamedList(direct, "DataSettings", ItemTexts(DataSettingsItems()), data.DataSettings);
  flow_ctrl_ = NamedList(direct, "FlowCtrl", ItemTexts(FlowCtrlItems()), data.FlowCtrl);
  com_speed_ = NamedList(direct, "COMSpeed", ItemTexts(ComSpeedItems()), data.COMSpeed);
  direct_access_ = NamedCheck(direct, "DirectAccess", "Enable Direct Port Access", data.DirectAccess);
  auto* direct_layout = new QFormLayout(direct);
  direct_layout->addRow("Com Port:", com_port_);
  direct_layout->addRow("Data:", data_settings_);
  direct_layout->addRow("Flow CTRL:", flow_ctrl_);
  direct_layout->addRow("COM Speed:", com_speed_);
  direct_layout->addRow(direct_access_);

  SetHelpContext(this, kPortDataFormHelp);
  SetHelpContext(general, kGeneralDetailsHelp);
  SetHelpContext(direct, kDirectAccessHelp);
  InstallHelpKey(this, [this](int context) { form_.ShowHelp(context); });
  pages_->addTab(general, "&General Details");
  pages_->addTab(direct, "&Direct Access Port Settings");
  pages_->setCurrentIndex(0);
  pages_->setUsesScrollButtons(false);  // both page captions in full

  auto* ok = Button(this, "OKBut", "&OK", "Accept And Exit");
  ok->setDefault(true);
  auto* cancel = Button(this, "CancelBut", "Cancel", "Cancel Changes And Exit");
  auto* help = Button(this, "BitBtn1", "&Help", "Help");
  auto* panel = new QVBoxLayout;
  panel->addWidget(ok);
  panel->addWidget(cancel);
  panel->addWidget(help);
  panel->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(pages_);
  layout->addLayout(panel);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ok, &QPushButton::clicked, this, &PortDataDialog::OKButClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { form_.BitBtn1Click(pages_->currentIndex()); });
  connect(settings, &QPushButton::clicked, this, [this] {
    Store();
    form_.BitBtn4Click();
  });
}

void PortDataDialog::Store() {
  TPortData& data = form_.Data;
  form_.ModemName = EditedText(modem_name_->text(), form_.ModemName);
  form_.SetModemIndex(modem_->currentIndex());
  data.Password = EditedText(password_->text(), data.Password);
  data.TimeOut = EditedText(time_out_->text(), data.TimeOut);
  data.RingsToAnswer = EditedText(rings_->text(), data.RingsToAnswer);
  data.MaxMsgLength = EditedText(max_msg_length_->text(), data.MaxMsgLength);
  data.Turncate = turncate_->isChecked();
  data.Enabled = enabled_->isChecked();
  data.ComPort = com_port_->currentIndex();
  data.DataSettings = data_settings_->currentIndex();
  data.FlowCtrl = flow_ctrl_->currentIndex();
  data.COMSpeed = com_speed_->currentIndex();
  data.DirectAccess = direct_access_->isChecked();
}

void PortDataDialog::OKButClick() {
  Store();
  if (form_.OKButClick()) accept();
}

}  // namespace vltg::manager
