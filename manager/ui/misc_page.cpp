#include "manager/ui/misc_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vltg::manager {

MiscPage::MiscPage(PageHost& host, QWidget* parent) : QWidget(parent), settings_(host), controls_(settings_, this) {
  setObjectName("MiscPage");
  auto* manual = new QGroupBox("Manual Tap Settings", this);
  controls_.AddRows(new QFormLayout(manual), {"mHeader", "mEmulation"});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(manual);
  layout->addStretch();
  layout->addWidget(controls_.ApplyButton("Button4", [this] { settings_.Apply(); }), 0, Qt::AlignRight);
}

}  // namespace vltg::manager
