#include "manager/ui/port_dialog.h"

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

// The bold label of one of the first fields.
QLabel* BoldLabel(QWidget* parent, std::string_view caption, QWidget* buddy) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setBuddy(buddy);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

PortDialog::PortDialog(TPortDialogModel& model, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      model_(model),
      sink_(this),
      pages_(new QTabWidget(this)) {
  setObjectName("PortDataForm");
  setWindowTitle("TAP Modem Data");
  model_.SetSink(sink_);
  model_.Owner = static_cast<QWidget*>(this);
  pages_->setObjectName("PageControl1");

  auto* general = new QWidget(pages_);
  general->setObjectName("GeneralDetails");
  modem_name_ = NamedEdit(general, "ModemName", model_.ModemName);
  modem_name_->setToolTip("Enter Users Name");
  // An edited port keeps its name: [Tap Ports] names its section.
  modem_name_->setReadOnly(model_.Editing());
  QStringList lines;
  for (const auto& line : model_.Lines()) lines << QString::fromStdString(line.Name);
  const SettingsField& modem = model_.Data.Field("Modem");
  modem_ = NamedList(general, "Modem", lines, model_.ModemIndex());
  modem_->setToolTip(ToQString(modem.hint));
  controls_.emplace(model_.Data, general);
  QWidget* password = controls_->Control("Password");
  auto* settings = new QPushButton("TAP Modem &Settings", general);
  settings->setObjectName("BitBtn4");
  QWidget::setTabOrder(password, settings);
  auto* divider = new QFrame(general);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  QWidget* enabled = controls_->Control("Enabled");
  QFont bold = enabled->font();
  bold.setBold(true);
  enabled->setFont(bold);
  enabled->setStyleSheet("color: red");

  auto* general_layout = new QFormLayout(general);
  general_layout->addRow(BoldLabel(general, "&Port Name:", modem_name_), modem_name_);
  general_layout->addRow(BoldLabel(general, modem.label, modem_), modem_);
  general_layout->addRow(BoldLabel(general, model_.Data.Field("Password").label, password), password);
  general_layout->addRow(QString(), settings);
  general_layout->addRow(divider);
  controls_->AddRows(general_layout, {"TimeOut", "RingsToAnswer", "MaxMsgLength", "Turncate", "Enabled"});

  auto* direct = new QWidget(pages_);
  direct->setObjectName("DirectAccessPortSettings");
  controls_->AddRows(new QFormLayout(direct), {"ComPort", "DataSettings", "FlowCtrl", "COMSpeed", "DirectAccess"});

  SetHelpContext(this, kPortDialogHelp);
  SetHelpContext(general, kGeneralDetailsHelp);
  SetHelpContext(direct, kDirectAccessHelp);
  InstallHelpKey(this, [this](int context) { model_.ShowHelp(context); });
  pages_->addTab(general, "&General Details");
  pages_->addTab(direct, "&Direct Access Port Settings");
  pages_->setCurrentIndex(0);
  pages_->setUsesScrollButtons(false);  // both page captions in full

  auto* ok = NamedButton(this, "OKBut", "&OK", "Accept And Exit");
  ok->setDefault(true);
  auto* cancel = NamedButton(this, "CancelBut", "Cancel", "Cancel Changes And Exit");
  auto* help = NamedButton(this, "BitBtn1", "&Help", "Help");
  auto* panel = new QVBoxLayout;
  panel->addWidget(ok);
  panel->addWidget(cancel);
  panel->addWidget(help);
  panel->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(pages_);
  layout->addLayout(panel);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ok, &QPushButton::clicked, this, &PortDialog::TryAccept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { model_.ShowPageHelp(pages_->currentIndex()); });
  connect(settings, &QPushButton::clicked, this, [this] {
    Store();
    model_.EditModemSettings();
  });
}

void PortDialog::Store() {
  model_.ModemName = EditedText(modem_name_->text(), model_.ModemName);
  model_.SetModemIndex(modem_->currentIndex());
  controls_->Store();
}

void PortDialog::TryAccept() {
  Store();
  if (model_.Accept()) accept();
}

}  // namespace vltg::manager
