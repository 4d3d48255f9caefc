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

RouteDialog::RouteDialog(TRoutForm& form, std::function<void(int context)> show_help, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      form_(form),
      route_(new QLineEdit(ToQString(form.Route), this)),
      type_(new QComboBox(this)),
      label3_(new QLabel(this)),
      label4_(new QLabel(this)),
      destination_(new QLineEdit(ToQString(form.Destination), this)),
      port_(new QLineEdit(ToQString(form.Port), this)) {
  setObjectName("RoutForm");
  setWindowTitle("Routing Data");
  SetHelpContext(this, kRoutFormHelp);
  InstallHelpKey(this, std::move(show_help));
  route_->setObjectName("Route");
  type_->setObjectName("rType");
  label3_->setObjectName("Label3");
  label4_->setObjectName("Label4");
  destination_->setObjectName("Destination");
  port_->setObjectName("Port");
  for (const std::string_view type : kRouteTypes) type_->addItem(ToQString(type));
  type_->setCurrentIndex(form_.rType);
  label3_->setBuddy(destination_);
  label4_->setBuddy(port_);
  Relabel();
  // Only the operator's choice relabels, not the selection made above.
  connect(type_, &QComboBox::currentIndexChanged, this, [this](int index) {
    form_.rType = index;
    form_.rTypeChange();
    Relabel();
  });

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("BitBtn1");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  connect(ok, &QPushButton::clicked, this, &RouteDialog::BitBtn1Click);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  fields->addWidget(Label("&Route:", route_, this), 0, 0);
  fields->addWidget(route_, 1, 0);
  fields->addWidget(Label("Route &Type:", type_, this), 0, 1);
  fields->addWidget(type_, 1, 1);
  fields->addWidget(label3_, 2, 0, 1, 2);
  fields->addWidget(destination_, 3, 0, 1, 2);
  fields->addWidget(label4_, 4, 0);
  fields->addWidget(port_, 5, 0);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
}

void RouteDialog::Relabel() {
  label3_->setText(ToQString(form_.Label3));
  label4_->setText(ToQString(form_.Label4));
}

void RouteDialog::BitBtn1Click() {
  form_.Route = EditedText(route_->text(), form_.Route);
  form_.rType = type_->currentIndex();
  form_.Destination = EditedText(destination_->text(), form_.Destination);
  form_.Port = EditedText(port_->text(), form_.Port);
  if (form_.BitBtn1Click(sink_)) accept();
}

}  // namespace vltg::manager
