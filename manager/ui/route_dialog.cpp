#include "manager/ui/route_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/ui/help_context.h"
#include "manager/ui/qt_text.h"

namespace vltg::manager {

namespace {

QLabel* Label(const char* text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

// A dialog border without border icons: the title only, at a fixed size.
RouteDialog::RouteDialog(TRouteDialogModel& model, std::function<void(int context)> show_help, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      model_(model),
      route_(new QLineEdit(ToQString(model.Route), this)),
      type_(new QComboBox(this)),
      destination_label_(new QLabel(this)),
      port_label_(new QLabel(this)),
      destination_(new QLineEdit(ToQString(model.Destination), this)),
      port_(new QLineEdit(ToQString(model.Port), this)) {
  setObjectName("RoutForm");
  setWindowTitle("Routing Data");
  SetHelpContext(this, kRouteDialogHelp);
  InstallHelpKey(this, std::move(show_help));
  route_->setObjectName("Route");
  type_->setObjectName("rType");
  destination_label_->setObjectName("Label3");
  port_label_->setObjectName("Label4");
  destination_->setObjectName("Destination");
  port_->setObjectName("Port");
  for (const std::string_view type : kRouteTypes) type_->addItem(ToQString(type));
  type_->setCurrentIndex(model_.TransportIndex);
  destination_label_->setBuddy(destination_);
  port_label_->setBuddy(port_);
  Relabel();
  // Only the operator's choice relabels, not the selection made above.
  connect(type_, &QComboBox::currentIndexChanged, this, [this](int index) {
    model_.TransportIndex = index;
    model_.Relabel();
    Relabel();
  });

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("BitBtn1");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  connect(ok, &QPushButton::clicked, this, &RouteDialog::TryAccept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  fields->addWidget(Label("&Route:", route_, this), 0, 0);
  fields->addWidget(route_, 1, 0);
  fields->addWidget(Label("Route &Type:", type_, this), 0, 1);
  fields->addWidget(type_, 1, 1);
  fields->addWidget(destination_label_, 2, 0, 1, 2);
  fields->addWidget(destination_, 3, 0, 1, 2);
  fields->addWidget(port_label_, 4, 0);
  fields->addWidget(port_, 5, 0);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void RouteDialog::Relabel() {
  destination_label_->setText(ToQString(model_.DestinationLabel));
  port_label_->setText(ToQString(model_.PortLabel));
}

void RouteDialog::TryAccept() {
  model_.Route = EditedText(route_->text(), model_.Route);
  model_.TransportIndex = type_->currentIndex();
  model_.Destination = EditedText(destination_->text(), model_.Destination);
  model_.Port = EditedText(port_->text(), model_.Port);
  if (model_.Accept(sink_)) accept();
}

}  // namespace vltg::manager
