#pragma once
// TTrayIcon: the application's icon in the desktop's notification area, with
// a tip, clicks and a menu, over QSystemTrayIcon. It takes over the
// application window's minimize and restore: minimized, the window leaves the
// taskbar and lives on in the notification area. Where the desktop has no
// notification area the window stays on the taskbar, or it could not be
// reached again.
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

class QWidget;

namespace vltg::manager {

class TTrayIcon : public QObject {
  Q_OBJECT

 public:
  // The notification area shows at most this many characters of the tip.
  static constexpr int kTipLength = 63;

  // `window` is the application's window; `shell_usable`: the desktop has a
  // notification area.
  explicit TTrayIcon(QWidget* window, bool shell_usable = QSystemTrayIcon::isSystemTrayAvailable());
  ~TTrayIcon() override;

  // The icon may be shown: it is while the application is minimized, or
  // always with SeparateIcon.
  bool Active() const { return FActive; }
  void SetActive(bool active);
  const QString& Hint() const { return FHint; }
  void SetHint(const QString& hint);
  const QIcon& Icon() const { return FIcon; }
  void SetIcon(const QIcon& icon);
  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* menu);
  bool SeparateIcon() const { return FSeparateIcon; }
  void SetSeparateIcon(bool separate);

  std::function<void(TTrayIcon& sender)> OnClick;
  std::function<void(TTrayIcon& sender)> OnDblClick;
  // Right button released: the cursor position when the menu popped up,
  // else (0, 0).
  std::function<void(TTrayIcon& sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint at)> OnRightClick;
  std::function<void(QWidget& application)> OnMinimize;
  std::function<void(QWidget& application)> OnRestore;

  // What the notification area holds now.
  bool Shown() const { return FTray->isVisible(); }
  QString Tip() const { return FTray->toolTip(); }
  bool Minimized() const { return FMinimized; }

  // Shows the application window again, in front.
  void AppRestore();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AppMinimize();
  void AppRestored();
  void ShowIcon();
  void HideIcon();
  void UpdateMenu();
  void Activated(QSystemTrayIcon::ActivationReason reason);

  QPointer<QWidget> FWindow;
  const bool FShellUsable;
  QSystemTrayIcon* FTray;
  bool FActive = false;
  QString FHint;
  QIcon FIcon;
  QPointer<QMenu> FPopupMenu;
  bool FSeparateIcon = false;
  bool FMinimized = false;
  // From a restore until the window is first exposed: the window manager may
  // still report the minimize or hide before it, which then does not count.
  static constexpr int kRestoreRetries = 5;
  bool FRestoring = false;
  int FRestoreRetries = 0;
};

}  // namespace vltg::manager
