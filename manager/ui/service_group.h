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
  ServiceGroup(TVLSGSrvcMngr& manager, QWidget* parent = nullptr);

  // The buttons follow the service's look, disabled while an operation runs.
  void ApplyLook();

 private:
  void DefaultLogonClick(bool checked);

  TVLSGSrvcMngr& manager_;
  QPushButton* Install2;
  QPushButton* Uninstall2;
  QLabel* name_label_;
  QLineEdit* LogonName;
  QLabel* password_label_;
  QLineEdit* LogonPassword;
  QCheckBox* DefaultLogon;
  QPushButton* ApplySvcChg;
};

}  // namespace vltg::manager
