#include "manager/ui/qt_message_sink.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

namespace vltg::manager {

void QtMessageSink::Beep() { QApplication::beep(); }

BoxAnswer QtMessageSink::ShowBox(const std::string& text, BoxKind kind, BoxButtons buttons, int help_context) {
  QMessageBox box(window_);
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setText(QString::fromStdString(text));
  switch (kind) {
    case BoxKind::kWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case BoxKind::kError:
      box.setIcon(QMessageBox::Critical);
      break;
    case BoxKind::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case BoxKind::kConfirmation:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case BoxButtons::kOk:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxButtons::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case BoxButtons::kOkHelp:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Help);
      break;
  }
  int pressed = box.exec();
  for (; pressed == QMessageBox::Help && help_ && help_context != 0; pressed = box.exec()) help_(help_context);
  switch (pressed) {
    case QMessageBox::Yes:
      return BoxAnswer::kYes;
    case QMessageBox::No:
      return BoxAnswer::kNo;
    case QMessageBox::Help:
      return BoxAnswer::kHelp;
    default:
      return BoxAnswer::kOk;
  }
}

void QtMessageSink::Focus(std::string_view control) {
  if (!window_) return;
  auto* widget =
      window_->findChild<QWidget*>(QString::fromUtf8(control.data(), static_cast<qsizetype>(control.size())));
  if (widget == nullptr) return;
  // Show the page that holds it first.
  for (QWidget* child = widget; child->parentWidget() != nullptr; child = child->parentWidget()) {
    auto* stack = qobject_cast<QStackedWidget*>(child->parentWidget());
    if (stack == nullptr) continue;
    // A page control's stack is turned through the page control, or its tabs
    // would stay on the page left.
    if (auto* pages = qobject_cast<QTabWidget*>(stack->parentWidget())) {
      pages->setCurrentWidget(child);
    } else {
      stack->setCurrentWidget(child);
    }
  }
  widget->setFocus(Qt::OtherFocusReason);
}

void QtMessageSink::ShellOpen(const std::string& target) {
  QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
}

void QtMessageSink::ProcessMessagesFor(int ms) {
  QApplication::processEvents();
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace vltg::manager
