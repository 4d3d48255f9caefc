#include "manager/ui/tray_icon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace vltg::manager {

TTrayIcon::TTrayIcon(QWidget* window, bool shell_usable)
    : QObject(window), FWindow(window), FShellUsable(shell_usable), FTray(new QSystemTrayIcon(this)) {
  FIcon = QApplication::windowIcon();
  FTray->setIcon(FIcon);
  FTray->setToolTip(QApplication::applicationDisplayName().left(kTipLength));
  connect(FTray, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
  FMinimized = window->isMinimized();
  window->installEventFilter(this);
}

TTrayIcon::~TTrayIcon() {
  if (FActive) HideIcon();
}

void TTrayIcon::SetActive(bool active) {
  FActive = active;
  if (FActive && (FMinimized || FSeparateIcon)) {
    ShowIcon();
  } else {
    HideIcon();
  }
}

void TTrayIcon::SetHint(const QString& hint) {
  if (hint == FHint) return;
  FHint = hint;
  FTray->setToolTip(hint.left(kTipLength));
}

void TTrayIcon::SetIcon(const QIcon& icon) {
  FIcon = icon;
  FTray->setIcon(icon);
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
  FPopupMenu = menu;
  UpdateMenu();
}

void TTrayIcon::SetSeparateIcon(bool separate) {
  FSeparateIcon = separate;
  if (FSeparateIcon && FActive) {
    ShowIcon();
  } else if (!FSeparateIcon && FActive && !FMinimized) {
    HideIcon();
  }
  UpdateMenu();
}

void TTrayIcon::ShowIcon() {
  if (FActive && FShellUsable && !FTray->isVisible()) FTray->show();
}

void TTrayIcon::HideIcon() {
  if (FShellUsable) FTray->hide();
}

// The menu pops up on the right button while the window is hidden, or always
// with SeparateIcon. The desktop pops it up itself (some notification areas
// take menus only that way).
void TTrayIcon::UpdateMenu() {
  const bool offered = FPopupMenu && (FSeparateIcon || !FWindow || !FWindow->isVisible());
  FTray->setContextMenu(offered ? FPopupMenu.data() : nullptr);
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      if (OnClick) OnClick(*this);
      break;
    case QSystemTrayIcon::DoubleClick:
      if (OnDblClick) OnDblClick(*this);
      break;
    case QSystemTrayIcon::Context:
      if (OnRightClick) {
        OnRightClick(*this, Qt::RightButton, Qt::NoModifier, FTray->contextMenu() ? QCursor::pos() : QPoint(0, 0));
      }
      break;
    default:
      break;
  }
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FWindow && event->type() == QEvent::WindowStateChange) {
    if (FWindow->isMinimized()) {
      // The window manager's late notice of the last minimize or hide
      // (before the restored window was first exposed) is answered by
      // restoring again: hiding on it would lose the window.
      if (FRestoring && event->spontaneous() && FRestoreRetries < kRestoreRetries) {
        ++FRestoreRetries;
        QTimer::singleShot(0, this, [this] {
          if (FWindow && FRestoring && FWindow->isMinimized()) FWindow->showNormal();
        });
      } else {
        FRestoring = false;
        AppMinimize();
      }
    } else if (FMinimized) {
      AppRestored();
    }
  } else if (FWindow && watched == FWindow->windowHandle() && event->type() == QEvent::Expose) {
    if (FWindow->windowHandle()->isExposed() && !FWindow->isMinimized()) FRestoring = false;
  }
  return QObject::eventFilter(watched, event);
}

void TTrayIcon::AppMinimize() {
  if (FActive && FShellUsable) {
    // Off the taskbar, once the minimize is done (showMinimized shows the
    // window after its state change).
    QTimer::singleShot(0, this, [this] {
      if (FWindow && FWindow->isMinimized() && !FRestoring) FWindow->hide();
    });
    ShowIcon();
  }
  FMinimized = true;
  UpdateMenu();
  if (OnMinimize) OnMinimize(*FWindow);
}

void TTrayIcon::AppRestore() {
  if (!FWindow) return;
  FRestoring = true;
  FRestoreRetries = 0;
  FWindow->showNormal();
  if (QWindow* native = FWindow->windowHandle()) native->installEventFilter(this);
  FWindow->raise();
  FWindow->activateWindow();
}

void TTrayIcon::AppRestored() {
  if (FActive && !FSeparateIcon) HideIcon();
  FMinimized = false;
  UpdateMenu();
  if (OnRestore) OnRestore(*FWindow);
}

}  // namespace vltg::manager
