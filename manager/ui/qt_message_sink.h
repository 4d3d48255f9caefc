#pragma once
// The manager's message sink on Qt: QApplication's beep, QMessageBox, focus by
// control name within a window, QDesktopServices for "open", and waits that
// run the event loop.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "manager/model/message_sink.h"

namespace vltg::manager {

class QtMessageSink : public MessageSink {
 public:
  // Boxes are modal to `window`; Focus looks for the control among its children.
  explicit QtMessageSink(QWidget* window = nullptr) : window_(window) {}
  void SetWindow(QWidget* window) { window_ = window; }
  // Opens a help context: a box's Help button shows the box's context and
  // leaves the box open.
  void SetHelpHandler(std::function<void(int context)> help) { help_ = std::move(help); }

  void Beep() override;
  BoxAnswer ShowBox(const std::string& text, BoxKind kind, BoxButtons buttons, int help_context) override;
  void Focus(std::string_view control) override;
  void ShellOpen(const std::string& target) override;
  void ProcessMessagesFor(int ms) override;

 private:
  QPointer<QWidget> window_;
  std::function<void(int context)> help_;
};

}  // namespace vltg::manager
