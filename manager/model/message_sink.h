#pragma once
// How the manager's rules reach the operator: the beep, modal message boxes,
// the focus moving to the field at fault, the desktop's "open", and waits that
// keep the window's events flowing. The window supplies the real sink; tests a
// recording one, so every rule runs without a display.
#include <string>
#include <string_view>

namespace vltg::manager {

enum class BoxKind { kWarning, kError, kInformation, kConfirmation };
enum class BoxButtons { kOk, kYesNo, kOkHelp };
enum class BoxAnswer { kOk, kYes, kNo, kHelp };

class MessageSink {
 public:
  virtual ~MessageSink() = default;

  // The asterisk sound; a plain beep where that cannot sound.
  virtual void Beep() = 0;
  // A modal box; returns the button pressed. `help_context` 0 means none.
  virtual BoxAnswer ShowBox(const std::string& text, BoxKind kind, BoxButtons buttons, int help_context = 0) = 0;
  // Moves the keyboard focus to the control of that name (the forms' control
  // names: "LogonName", "SourceAddr", "Route" ...), showing its page first.
  virtual void Focus(std::string_view control) = 0;
  // Hands a target to the desktop: "mailto:..." addresses, web addresses,
  // help pages.
  virtual void ShellOpen(const std::string& target) = 0;
  // Lets the window's pending events through, then waits `ms` milliseconds
  // while they keep flowing (0: only lets them through).
  virtual void ProcessMessagesFor(int ms) = 0;
};

}  // namespace vltg::manager
