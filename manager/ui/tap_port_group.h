#pragma once
// The "TAP Port Settings" group of the general page: the TAP port list with
// its add and delete buttons; a double click edits a port. Filled at its
// first showing. It runs the port dialog and hands what it accepted to the
// list.
#include <QGroupBox>

#include "manager/model/page_host.h"
#include "manager/model/tap_port_list.h"

class QTreeWidget;

namespace vltg::manager {

class TapPortGroup : public QGroupBox {
  Q_OBJECT

 public:
  TapPortGroup(PageHost& host, QWidget* parent = nullptr);

  TTapPortList& Model() { return model_; }
  QTreeWidget* List() const { return list_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The list's rows from the model's items, with the row selected before
  // selected again unless `keep_selection` is false.
  void Refresh(bool keep_selection = true);
  int Selected() const;
  // The port dialog on `form`, modal to the window; true when it closed with OK.
  bool RunDialog(TPortDialogModel& form);

  TTapPortList model_;
  QTreeWidget* list_;
  bool shown_ = false;
};

}  // namespace vltg::manager
