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

ServiceGroup::ServiceGroup(TServiceManager& manager, QWidget* parent) : QGroupBox(parent), manager_(manager) {
  setObjectName("ServiceGroup");
  setTitle("Service Settings");
  SetHelpContext(this, 10);

  // Created in tab order.
  install_ = Button(this, "Install2", "Install Service", "Install SNPP To HTML Service");
  uninstall_ = Button(this, "Uninstall2", "Uninstall Service", "Uninstall SNPP To HTML Service");
  const LogonEdits& logon = manager_.Logon();
  name_label_ = new QLabel("Logon &Name:", this);
  logon_name_ = Edit(this, "LogonName", logon.logon_name, "NT/2000 Service Logon Name");
  name_label_->setBuddy(logon_name_);
  password_label_ = new QLabel("Logon &Password:", this);
  logon_password_ = Edit(this, "LogonPassword", logon.logon_password, "NT/2000 Logon Password");
  logon_password_->setEchoMode(QLineEdit::Password);
  password_label_->setBuddy(logon_password_);
  default_logon_ = new QCheckBox("&Default Service Logon", this);
  default_logon_->setObjectName("DefaultLogon");
  default_logon_->setToolTip("Use Default System Service Logon");
  default_logon_->setChecked(logon.default_logon);
  apply_changes_ = Button(this, "ApplySvcChg", "Apply Changes", "Apply Logon Changes To The SNPP To HTML Service");

  auto* layout = new QVBoxLayout(this);
  for (QWidget* control :
       std::initializer_list<QWidget*>{install_, uninstall_, name_label_, logon_name_, password_label_, logon_password_,
                                       default_logon_, apply_changes_}) {
    layout->addWidget(control);
  }
  layout->addStretch();

  connect(install_, &QPushButton::clicked, this, [this] { manager_.Install(); });
  connect(uninstall_, &QPushButton::clicked, this, [this] { manager_.Uninstall(); });
  connect(apply_changes_, &QPushButton::clicked, this, [this] { manager_.ApplyServiceChanges(); });
  connect(logon_name_, &QLineEdit::textChanged, this,
          [this](const QString& text) { manager_.Logon().logon_name = text.toStdString(); });
  connect(logon_password_, &QLineEdit::textChanged, this,
          [this](const QString& text) { manager_.Logon().logon_password = text.toStdString(); });
  connect(default_logon_, &QCheckBox::toggled, this, &ServiceGroup::SetDefaultLogon);
  SetDefaultLogon(logon.default_logon);
  ApplyLook();
}

void ServiceGroup::SetDefaultLogon(bool checked) {
  manager_.SetDefaultLogon(checked);
  const bool enabled = manager_.LogonEditsEnabled();
  for (QWidget* control : std::initializer_list<QWidget*>{name_label_, logon_name_, password_label_, logon_password_}) {
    control->setEnabled(enabled);
  }
}

void ServiceGroup::ApplyLook() {
  const ServiceLook& look = manager_.Look();
  const bool idle = !manager_.Busy();
  install_->setEnabled(look.install && idle);
  uninstall_->setEnabled(look.uninstall && idle);
  apply_changes_->setEnabled(look.apply_changes && idle);
}

}  // namespace vltg::manager
