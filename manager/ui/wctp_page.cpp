#include "manager/ui/wctp_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vltg::manager {

WctpPage::WctpPage(PageHost& host, QWidget* parent) : QWidget(parent), settings_(host), controls_(settings_, this) {
  setObjectName("WctpPage");
  auto* general = new QGroupBox("General", this);
  controls_.AddRows(new QFormLayout(general), {"WCTPSenderID", "WCTPMiscSenderInfo", "WCTPDocType"});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(general);
  layout->addStretch();
  layout->addWidget(controls_.ApplyButton("Button1", [this] { settings_.Apply(); }), 0, Qt::AlignRight);
}

}  // namespace vltg::manager
