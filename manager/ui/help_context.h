#pragma once
// Help contexts of controls, pages and dialogs. F1 opens the help of the
// focused control's context, or of the nearest enclosing one that has a
// context; nothing when none has.
#include <QWidget>
#include <functional>

namespace vltg::manager {

void SetHelpContext(QWidget* widget, int context);
// The context F1 on this widget opens; 0 for none. The tabs of a page
// control stand for the page shown.
int HelpContextOf(const QWidget* widget);
// Binds F1 within `window` (a main window or a dialog) to `show_help`.
void InstallHelpKey(QWidget* window, std::function<void(int context)> show_help);

}  // namespace vltg::manager
