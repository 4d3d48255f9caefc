#include "manager/ui/service_group.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/ui/help_context.h"
#include "manager/ui/named_controls.h"

namespace vltg::manager {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
  QPushButton* button = NamedButton(parent, name, caption, hint);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* Edit(QWidget* parent, const char* name, const std::string& text, const char* hint) {
  QLineEdit* edit = NamedEdit(parent, name, text);
  edit->setToolTip(hint);
  return edit;
}

}  // namespace

ServiceGroup::ServiceGroup(TVLSGSrvcMngr& manager, QWidget* parent) : QGroupBox(parent), manager_(manager) {
  setObjectName("ServiceGroup");
  setTitle("Service Settings");
  SetHelpContext(this, 10);

  // Created in tab order.
  Install2 = Button(this, "Install2", "Install Service", "Install SNPP To HTML Service");
  Uninstall2 = Button(this, "Uninstall2", "Uninstall Service", "Uninstall SNPP To HTML Service");
  const LogonEdits& logon = manager_.Logon();
  name_label_ = new QLabel("Logon &Name:", this);
  LogonName = Edit(this, "LogonName", logon.logon_name, "NT/2000 Service Logon Name");
  name_label_->setBuddy(LogonName);
  password_label_ = new QLabel("Logon &Password:", this);
  LogonPassword = Edit(this, "LogonPassword", logon.logon_password, "NT/2000 Logon Password");
  LogonPassword->setEchoMode(QLineEdit::Password);
  password_label_->setBuddy(LogonPassword);
  DefaultLogon = new QCheckBox("&Default Service Logon", this);
  DefaultLogon->setObjectName("DefaultLogon");
  DefaultLogon->setToolTip("Use Default System Service Logon");
  DefaultLogon->setChecked(logon.default_logon);
  ApplySvcChg = Button(this, "ApplySvcChg", "Apply Changes", "Apply Logon Changes To The SNPP To HTML Service");

  auto* layout = new QVBoxLayout(this);
  for (QWidget* control : std::initializer_list<QWidget*>{Install2, Uninstall2, name_label_, LogonName, password_label_,
                                                          LogonPassword, DefaultLogon, ApplySvcChg}) {
    layout->addWidget(control);
  }
  layout->addStretch();

  connect(Install2, &QPushButton::clicked, this, [this] { manager_.Install1Click(); });
  connect(Uninstall2, &QPushButton::clicked, this, [this] { manager_.Uninstall1Click(); });
  connect(ApplySvcChg, &QPushButton::clicked, this, [this] { manager_.ApplySvcChgClick(); });
  connect(LogonName, &QLineEdit::textChanged, this,
          [this](const QString& text) { manager_.Logon().logon_name = text.toStdString(); });
  connect(LogonPassword, &QLineEdit::textChanged, this,
          [this](const QString& text) { manager_.Logon().logon_password = text.toStdString(); });
  connect(DefaultLogon, &QCheckBox::toggled, this, &ServiceGroup::DefaultLogonClick);
  DefaultLogonClick(logon.default_logon);
  ApplyLook();
}

void ServiceGroup::DefaultLogonClick(bool checked) {
  manager_.DefaultLogonClick(checked);
  const bool enabled = manager_.LogonEditsEnabled();
  for (QWidget* control : std::initializer_list<QWidget*>{name_label_, LogonName, password_label_, LogonPassword}) {
    control->setEnabled(enabled);
  }
}

void ServiceGroup::ApplyLook() {
  const ServiceLook& look = manager_.Look();
  const bool idle = !manager_.Busy();
  Install2->setEnabled(look.install && idle);
  Uninstall2->setEnabled(look.uninstall && idle);
  ApplySvcChg->setEnabled(look.apply_changes && idle);
}

}  // namespace vltg::manager
