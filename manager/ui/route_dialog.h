#pragma once
// The "Routing Data" dialog over its model: the route's fields, the transport
// list that relabels them, and OK, which closes only once the model accepts.
#include <QDialog>
#include <functional>

#include "manager/model/route_dialog_model.h"
#include "manager/ui/qt_message_sink.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vltg::manager {

class RouteDialog : public QDialog {
  Q_OBJECT

 public:
  // `show_help` opens a help context: F1 within the dialog.
  RouteDialog(TRouteDialogModel& model, std::function<void(int context)> show_help, QWidget* parent = nullptr);

 private:
  void Relabel();
  // OK: the controls into the model, and closed once the model accepts.
  void TryAccept();

  TRouteDialogModel& model_;
  QtMessageSink sink_{this};
  QLineEdit* route_;
  QComboBox* type_;
  QLabel* destination_label_;
  QLabel* port_label_;
  QLineEdit* destination_;
  QLineEdit* port_;
};

}  // namespace vltg::manager
