#include "manager/ui/help_context.h"

#include <QApplication>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

namespace vltg::manager {

namespace {

constexpr char kHelpContextProperty[] = "helpContext";

}  // namespace

void SetHelpContext(QWidget* widget, int context) { widget->setProperty(kHelpContextProperty, context); }

int HelpContextOf(const QWidget* widget) {
  if (qobject_cast<const QTabBar*>(widget) != nullptr) {
    if (const auto* pages = qobject_cast<const QTabWidget*>(widget->parentWidget())) widget = pages->currentWidget();
  }
  for (; widget != nullptr; widget = widget->parentWidget()) {
    if (const int context = widget->property(kHelpContextProperty).toInt(); context != 0) return context;
    if (widget->isWindow()) break;
  }
  return 0;
}

void InstallHelpKey(QWidget* window, std::function<void(int context)> show_help) {
  auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
  QObject::connect(key, &QShortcut::activated, window, [window, show_help = std::move(show_help)] {
    QWidget* focused = QApplication::focusWidget();
    if (const int context = HelpContextOf(focused != nullptr ? focused : window); context != 0) show_help(context);
  });
}

}  // namespace vltg::manager
