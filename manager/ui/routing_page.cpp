#include "manager/ui/routing_page.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "manager/ui/qt_text.h"
#include "manager/ui/route_dialog.h"
#include "manager/ui/state_images.h"

namespace vltg::manager {

namespace {

// Only the route text is edited in place; the other fields in the dialog.
class NoEditor : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }
};

// F2 edits the row's route text, whichever of its cells is current.
class RouteList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    return QTreeWidget::edit(trigger == EditKeyPressed ? index.siblingAtColumn(0) : index, trigger, event);
  }
};

}  // namespace

RoutingPage::RoutingPage(PageHost& host, QWidget* parent)
    : QWidget(parent), host_(host), routes_(host), list_(new RouteList(this)) {
  setObjectName("RoutingPage");

  list_->setObjectName("ListView1");
  list_->setToolTip("Double Click To Edit");
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({"Route", "Transport", "Destination/Server", "Inertia/Port"});
  const int widths[] = {100, 64, 220, 70};
  for (int column = 0; column < 4; ++column) list_->setColumnWidth(column, widths[column]);
  // A double click opens the dialog; the route text is edited in place with F2
  // or a click on the selected item.
  list_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  for (int column = 1; column < 4; ++column) list_->setItemDelegateForColumn(column, new NoEditor(list_));
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    TakeEdit();
    const std::optional<std::size_t> selected = Selected();
    std::optional<TRouteDialogModel> form = routes_.EditDialog(selected);
    std::optional<std::size_t> placed;
    if (form && RunDialog(*form)) placed = routes_.EditRoute(*selected, form->Line());
    Refill(placed);
  });
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column != 0) return;
    const auto index = static_cast<std::size_t>(list_->indexOfTopLevelItem(item));
    const std::string route = FromQString(item->text(0));
    // After the editor has closed, or before a button acts: the refusal's box
    // and the new order.
    pending_edit_ = [this, index, route] {
      const auto placed = routes_.EditRouteText(index, route);
      Refill(placed ? placed : std::optional(index));
    };
    QTimer::singleShot(0, this, [this] { TakeEdit(); });
  });

  auto* add = new QPushButton("&Add Route", this);
  add->setObjectName("BitBtn1");
  connect(add, &QPushButton::clicked, this, [this] {
    TakeEdit();
    TRouteDialogModel form;
    std::optional<std::size_t> placed;
    if (RunDialog(form)) placed = routes_.AddRoute(form.Line());
    Refill(placed);
  });
  auto* remove = new QPushButton("&Delete Route", this);
  remove->setObjectName("BitBtn2");
  connect(remove, &QPushButton::clicked, this, [this] {
    TakeEdit();
    routes_.DeleteRoute(Selected());
    Refill();
  });
  auto* apply = new QPushButton("A&pply", this);
  apply->setObjectName("Button3");
  connect(apply, &QPushButton::clicked, this, [this] {
    TakeEdit();
    routes_.Apply();
    Refill();
  });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add);
  buttons->addWidget(remove);
  buttons->addStretch();
  buttons->addWidget(apply);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  Refill();
}

bool RoutingPage::RunDialog(TRouteDialogModel& form) {
  RouteDialog dialog(form, [this](int context) { host_.ShowHelp(context); }, this);
  return dialog.exec() == QDialog::Accepted;
}

void RoutingPage::TakeEdit() {
  if (!pending_edit_) return;
  const auto edit = std::exchange(pending_edit_, nullptr);
  edit();
}

std::optional<std::size_t> RoutingPage::Selected() const {
  const auto selected = list_->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  return static_cast<std::size_t>(list_->indexOfTopLevelItem(selected.front()));
}

void RoutingPage::Refill(std::optional<std::size_t> select) {
  const QSignalBlocker quiet(list_);
  const std::optional<std::size_t> keep = select ? select : Selected();
  list_->clear();
  for (const RouteLine& line : routes_.Items()) {
    auto* item = new QTreeWidgetItem(
        list_, {ToQString(line.route), ToQString(line.transport), ToQString(line.field3), ToQString(line.field4)});
    item->setIcon(0, StateImage(RoutingTables::StateImage(line)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  if (keep && *keep < routes_.Items().size()) {
    list_->setCurrentItem(list_->topLevelItem(static_cast<int>(*keep)));
  }
}

}  // namespace vltg::manager
