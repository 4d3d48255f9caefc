#include "manager/ui/tnpp_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/ui/qt_text.h"

namespace vltg::manager {

TnppPage::TnppPage(PageHost& host, QWidget* parent) : QWidget(parent), settings_(host), controls_(settings_, this) {
  setObjectName("TnppPage");

  auto* link = new QGroupBox("TNPP Settings", this);
  auto* link_rows = new QFormLayout(link);
  auto* source = new QHBoxLayout;
  source->addWidget(controls_.Control("SourceAddr"));
  source->addWidget(new QLabel("(DEC)", link));
  auto* source_label = new QLabel(ToQString(settings_.Field("SourceAddr").label), link);
  source_label->setBuddy(controls_.Control("SourceAddr"));
  link_rows->addRow(source_label, source);
  controls_.AddRows(link_rows, {"BusyRtyTO", "IdelTO", "RetryCount", "KeepAliveTO", "IntCharTime", "RSHoldRetry",
                                "RSHoldTime", "ENQRetries", "ENQTO", "EnableSNPP"});

  auto* port = new QGroupBox("Port Settings", this);
  auto* port_rows = new QFormLayout(port);
  controls_.AddRows(port_rows, {"UseCom", "ComSettings", "HandShake", "ComSpeed", "STXInit", "TRSPCRC"});

  auto* right = new QVBoxLayout;
  right->addWidget(port);
  right->addStretch();
  right->addWidget(controls_.ApplyButton("Button2", [this] { settings_.Apply(); }), 0, Qt::AlignRight);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(link);
  layout->addLayout(right);
}

}  // namespace vltg::manager
