#pragma once
// The "Routing Data" dialog over a route form: the fields, the transport list
// that relabels them, and OK, which closes only once the form accepts.
#include <QDialog>
#include <functional>

#include "manager/model/rout_form.h"
#include "manager/ui/qt_message_sink.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vltg::manager {

class RouteDialog : public QDialog {
  Q_OBJECT

 public:
  // `show_help` opens a help context: F1 within the dialog.
  RouteDialog(TRoutForm& form, std::function<void(int context)> show_help, QWidget* parent = nullptr);

 private:
  void Relabel();
  void BitBtn1Click();

  TRoutForm& form_;
  QtMessageSink sink_{this};
  QLineEdit* route_;
  QComboBox* type_;
  QLabel* label3_;
  QLabel* label4_;
  QLineEdit* destination_;
  QLineEdit* port_;
};

}  // namespace vltg::manager
