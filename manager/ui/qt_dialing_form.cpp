#include "manager/ui/qt_dialing_form.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vltg::manager {

QtDialingForm::QtDialingForm(TModemLines& Owner)
    : TDialingForm(Owner), ModemName(new QLabel(this)), Image(new QLabel(this)), HangUpButton(new QPushButton(this)) {
  setObjectName("DialingFrm");
  setWindowTitle("Dialing...");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  ModemName->setObjectName("ModemName");
  Image->setObjectName("Image");
  Image->setPixmap(QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
  Image->hide();
  HangUpButton->setObjectName("bHangUp");
  HangUpButton->setText("&Hang up");
  connect(HangUpButton, &QPushButton::clicked, this, [this] { HangUp(); });

  auto* top = new QHBoxLayout;
  top->addWidget(Image);
  top->addWidget(ModemName, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(HangUpButton, 0, Qt::AlignHCenter);
}

void QtDialingForm::Show() {
  show();
  repaint();
}

void QtDialingForm::Hide() { hide(); }

void QtDialingForm::SetImageVisible(bool Visible) { Image->setVisible(Visible); }

void InstallDialingForm() {
  SetDialingFormMaker([](TModemLines& Owner) { return std::make_unique<QtDialingForm>(Owner); });
}

}  // namespace vltg::manager
