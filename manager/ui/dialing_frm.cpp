#include "manager/ui/dialing_frm.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vltg::manager {

TDialingFrm::TDialingFrm(TModemLines& Owner)
    : TDialingForm(Owner), ModemName(new QLabel(this)), Image(new QLabel(this)), bHangUp(new QPushButton(this)) {
  setObjectName("DialingFrm");
  setWindowTitle("Dialing...");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  ModemName->setObjectName("ModemName");
  Image->setObjectName("Image");
  Image->setPixmap(QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
  Image->hide();
  bHangUp->setObjectName("bHangUp");
  bHangUp->setText("&Hang up");
  connect(bHangUp, &QPushButton::clicked, this, [this] { bHangUpClick(); });

  auto* top = new QHBoxLayout;
  top->addWidget(Image);
  top->addWidget(ModemName, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(bHangUp, 0, Qt::AlignHCenter);
}

void TDialingFrm::Show() {
  show();
  repaint();
}

void TDialingFrm::Hide() { hide(); }

void TDialingFrm::SetImageVisible(bool Visible) { Image->setVisible(Visible); }

void InstallDialingForm() {
  SetDialingFormMaker([](TModemLines& Owner) { return std::make_unique<TDialingFrm>(Owner); });
}

}  // namespace vltg::manager
