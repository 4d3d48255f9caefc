#pragma once
// The line component's "Dialing..." window (model/dialing_form.h) on Qt: the
// modem's name, an image shown once the component asks for it, and "&Hang
// up", which hangs the component up. Made hidden, by the component, through the maker that
// InstallDialingForm puts in place; the component owns it.
#include <QWidget>

#include "manager/model/dialing_form.h"

class QLabel;
class QPushButton;

namespace vltg::manager {

class QtDialingForm : public QWidget, public TDialingForm {
  Q_OBJECT

 public:
  explicit QtDialingForm(TModemLines& Owner);

  void Show() override;
  void Hide() override;
  void SetImageVisible(bool Visible) override;

  QLabel* ModemName;
  QLabel* Image;
  QPushButton* HangUpButton;
};

// Makes the line components create their dialing forms as QtDialingForm.
void InstallDialingForm();

}  // namespace vltg::manager
