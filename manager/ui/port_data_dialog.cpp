#include "manager/ui/port_data_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vltg::manager {
namespace {

QStringList Texts(const std::vector<std::string>& items) {
  QStringList texts;
  for (const auto& item : items) texts << QString::fromStdString(item);
  return texts;
}

QLineEdit* Edit(QWidget* parent, const char* name, const std::string& text, const char* hint = nullptr) {
  auto* edit = new QLineEdit(QString::fromStdString(text), parent);
  edit->setObjectName(name);
  if (hint != nullptr) edit->setToolTip(hint);
  return edit;
}

QComboBox* List(QWidget* parent, const char* name, const QStringList& items, int current) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  list->setCurrentIndex(current);
  return list;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, bool checked) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(checked);
  return box;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  return button;
}

// A label for a field, bold where the form has it so, and its buddy set.
QLabel* Label(QWidget* parent, const char* caption, QWidget* buddy, bool bold = false) {
  auto* label = new QLabel(caption, parent);
  label->setBuddy(buddy);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
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
  form_.Owner = this;
  const TPortData& data = form_.Data;
  pages_->setObjectName("PageControl1");

  auto* general = new QWidget(pages_);
  general->setObjectName("GeneralDetails");
  modem_name_ = Edit(general, "ModemName", form_.ModemName, "Enter Users Name");
  // An edited port keeps its name: [Tap Ports] names its section.
  modem_name_->setReadOnly(form_.Editing());
  QStringList lines;
  for (const auto& line : form_.Lines()) lines << QString::fromStdString(line.Name);
  modem_ = List(general, "Modem", lines, form_.ModemIndex());
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
  turncate_ = Check(general, "Turncate", "Turncate Messages", data.Turncate);
  enabled_ = Check(general, "Enabled", "Port &Enabled", data.Enabled);
  enabled_->setToolTip("Select If User Has A Numeric Only Pager");
  QFont bold = enabled_->font();
  bold.setBold(true);
  enabled_->setFont(bold);
  enabled_->setStyleSheet("color: red");

  auto* general_layout = new QGridLayout(general);
  general_layout->addWidget(Label(general, "&Port Name:", modem_name_, true), 0, 0);
  general_layout->addWidget(modem_name_, 0, 1);
  general_layout->addWidget(Label(general, "&Modem:", modem_, true), 1, 0);
  general_layout->addWidget(modem_, 1, 1);
  general_layout->addWidget(Label(general, "&Password:", password_, true), 2, 0);
  general_layout->addWidget(password_, 2, 1);
  general_layout->addWidget(settings, 3, 1);
  general_layout->addWidget(divider, 4, 0, 1, 2);
  general_layout->addWidget(Label(general, "Time Out:", time_out_), 5, 0);
  general_layout->addWidget(time_out_, 5, 1);
  general_layout->addWidget(Label(general, "Rings to Answer:", rings_), 6, 0);
  general_layout->addWidget(rings_, 6, 1);
  general_layout->addWidget(Label(general, "Max Msg Length:", max_msg_length_), 7, 0);
  general_layout->addWidget(max_msg_length_, 7, 1);
  general_layout->addWidget(turncate_, 8, 0, 1, 2);
  general_layout->addWidget(enabled_, 9, 0, 1, 2);

  auto* direct = new QWidget(pages_);
  direct->setObjectName("DirectAccessPortSettings");
  com_port_ = List(direct, "ComPort", Texts(ComPortItems()), data.ComPort);
  data_settings_ = List(direct, "DataSettings", Texts(DataSettingsItems()), data.DataSettings);
  flow_ctrl_ = List(direct, "FlowCtrl", Texts(FlowCtrlItems()), data.FlowCtrl);
  com_speed_ = List(direct, "COMSpeed", Texts(ComSpeedItems()), data.COMSpeed);
  direct_access_ = Check(direct, "DirectAccess", "Enable Direct Port Access", data.DirectAccess);
  auto* direct_layout = new QGridLayout(direct);
  direct_layout->addWidget(Label(direct, "Com Port:", com_port_), 0, 0);
  direct_layout->addWidget(com_port_, 0, 1);
  direct_layout->addWidget(Label(direct, "Data:", data_settings_), 1, 0);
  direct_layout->addWidget(data_settings_, 1, 1);
  direct_layout->addWidget(Label(direct, "Flow CTRL:", flow_ctrl_), 2, 0);
  direct_layout->addWidget(flow_ctrl_, 2, 1);
  direct_layout->addWidget(Label(direct, "COM Speed:", com_speed_), 3, 0);
  direct_layout->addWidget(com_speed_, 3, 1);
  direct_layout->addWidget(direct_access_, 4, 0, 1, 2);
  direct_layout->setRowStretch(5, 1);

  pages_->addTab(general, "&General Details");
  pages_->addTab(direct, "&Direct Access Port Settings");
  pages_->setCurrentIndex(0);

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
  form_.ModemName = modem_name_->text().toStdString();
  form_.SetModemIndex(modem_->currentIndex());
  data.Password = password_->text().toStdString();
  data.TimeOut = time_out_->text().toStdString();
  data.RingsToAnswer = rings_->text().toStdString();
  data.MaxMsgLength = max_msg_length_->text().toStdString();
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
