#include "manager/ui/about_box.h"

#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vltg::manager {

namespace {

QLabel* CentredBold(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

// A link: blue, bold, the hand cursor; reached by Tab and opened with Enter.
// A click leaves the focus where it was, so Enter still presses the default
// button.
QLabel* Link(const char* name, const QString& text, const char* hint, QWidget* parent) {
  auto* label = new QLabel(
      QString("<a href=\"#\" style=\"color:blue; font-weight:bold\">%1</a>").arg(text.toHtmlEscaped()), parent);
  label->setObjectName(name);
  label->setToolTip(hint);
  label->setCursor(Qt::PointingHandCursor);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setFocusPolicy(Qt::TabFocus);
  return label;
}

}  // namespace

// A dialog border with the system menu: closing is all it offers.
TAboutBox::TAboutBox(MessageSink& sink, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      sink_(sink) {
  setObjectName("AboutBox");
  setWindowTitle("About Velomar TAP Gateway");

  // Everything on a panel whose bevel is lowered outside and raised inside:
  // a sunken box's edge.
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel");
  panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  auto* title = new QLabel("DI DIZ Evevevu", panel);
  title->setAlignment(Qt::AlignCenter);
  title->setStyleSheet("color: navy; font-family: serif; font-size: 20pt; font-weight: bold;");
  Version = CentredBold("Version 0.5", panel);
  Version->setObjectName("Version1");

  auto* contact = new QGroupBox("Contact Information", panel);
  auto* email_link = Link("Label1", kContactEMail, "Click To Send E-Mail", contact);
  auto* web_link = Link("Label2", kContactWeb, "Click To Go To Web Site", contact);
  connect(email_link, &QLabel::linkActivated, this, &TAboutBox::SendEMail);
  connect(web_link, &QLabel::linkActivated, this, &TAboutBox::OpenWebSite);
  auto* contact_layout = new QFormLayout(contact);
  contact_layout->addRow("E-Mail:", email_link);
  contact_layout->addRow("Web:", web_link);

  auto* panel_layout = new QVBoxLayout(panel);
  panel_layout->addWidget(title);
  panel_layout->addWidget(Version);
  panel_layout->addWidget(CentredBold("Made by the vltg paging gateway project", panel));
  panel_layout->addWidget(CentredBold("Free to use, change and pass on", panel));
  panel_layout->addWidget(contact);

  auto* ok = new QPushButton("&OK", panel);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  ok->setFocus();  // not the first link
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  panel_layout->addWidget(ok, 0, Qt::AlignCenter);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel);
  setFixedSize(QSize(329, 293).expandedTo(sizeHint()));  // a fixed dialog border
}

void TAboutBox::SendEMail() { sink_.ShellOpen(std::string("Mailto:") + kContactEMail); }

void TAboutBox::OpenWebSite() { sink_.ShellOpen(kContactWeb); }

}  // namespace vltg::manager
