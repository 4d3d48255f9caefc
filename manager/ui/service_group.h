#pragma once
// The "Service Settings" group of the general page: install, uninstall, the
// service logon and "Apply Changes". The rules are the model's.
#include <QGroupBox>

#include "manager/model/service_manager.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vltg::manager {

class ServiceGroup : public QGroupBox {
  Q_OBJECT

 public:
  ServiceGroup(TServiceManager& manager, QWidget* parent = nullptr);

  // The buttons follow the service's look, disabled while an operation runs.
  void ApplyLook();

 private:
  void SetDefaultLogon(bool checked);

  TServiceManager& manager_;
  QPushButton* install_;
  QPushButton* uninstall_;
  QLabel* name_label_;
  QLineEdit* logon_name_;
  QLabel* password_label_;
  QLineEdit* logon_password_;
  QCheckBox* default_logon_;
  QPushButton* apply_changes_;
};

}  // namespace vltg::manager
