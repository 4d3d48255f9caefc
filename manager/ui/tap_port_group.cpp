#include "manager/ui/tap_port_group.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>

#include "manager/ui/port_dialog.h"
#include "manager/ui/state_images.h"

namespace vltg::manager {

TapPortGroup::TapPortGroup(PageHost& host, QWidget* parent)
    : QGroupBox(parent), model_(host), list_(new QTreeWidget(this)) {
  setObjectName("TapPortGroup");
  setTitle("TAP Port Settings");
  list_->setObjectName("ListView2");
  list_->setToolTip("Double Click To Edit");
  list_->setHeaderLabels({"Port Name", "Device ID"});
  list_->setColumnWidth(0, 150);
  list_->setColumnWidth(1, 60);
  list_->setRootIsDecorated(false);
  list_->setSortingEnabled(false);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto* add = new QPushButton("&Add TAP Port", this);
  add->setObjectName("BitBtn4");
  auto* remove = new QPushButton("&Delete TAP Port", this);
  remove->setObjectName("BitBtn3");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add);
  buttons->addWidget(remove);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);

  model_.ModemLines.SetParentForm(window());
  connect(add, &QPushButton::clicked, this, [this] {
    std::optional<TPortDialogModel> form = model_.AddDialog();
    if (form && RunDialog(*form)) model_.AddPort(form->ModemName, form->Data);
    Refresh();
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    const bool removed = model_.DeletePort(Selected());
    Refresh(!removed);
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    const int selected = Selected();
    std::optional<TPortDialogModel> form = model_.EditDialog(selected);
    if (form && RunDialog(*form)) model_.EditPort(selected, form->Data);
    Refresh();
  });
}

bool TapPortGroup::RunDialog(TPortDialogModel& form) {
  PortDialog dialog(form, window());
  return dialog.exec() == QDialog::Accepted;
}

void TapPortGroup::showEvent(QShowEvent* event) {
  QGroupBox::showEvent(event);
  if (shown_) return;
  shown_ = true;
  model_.LoadPorts();
  Refresh();
}

int TapPortGroup::Selected() const {
  QTreeWidgetItem* item = list_->currentItem();
  return item != nullptr && item->isSelected() ? list_->indexOfTopLevelItem(item) : -1;
}

void TapPortGroup::Refresh(bool keep_selection) {
  const int selected = keep_selection ? Selected() : -1;
  list_->clear();
  for (const TTapPortItem& port : model_.Items()) {
    auto* item =
        new QTreeWidgetItem(list_, {QString::fromStdString(port.Caption), QString::fromStdString(port.DeviceID)});
    item->setIcon(0, StateImage(port.StateIndex));
    item->setData(0, Qt::UserRole, port.StateIndex);
    if (port.StateIndex == kPortNotStartedImage) {
      item->setToolTip(0, "Not Started By The Gateway (" + QString::fromStdString(port.Key) + ")");
    }
  }
  if (selected >= 0 && selected < list_->topLevelItemCount()) list_->setCurrentItem(list_->topLevelItem(selected));
}

}  // namespace vltg::manager
