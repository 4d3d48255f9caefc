#pragma once
// A message sink for the manager's rules that records what the operator would
// have seen, in order, and answers boxes from a queue: "beep", "box:<text>",
// "focus:<control>", "open:<target>", "wait:<ms>".
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "manager/model/message_sink.h"

namespace vltg::testing {

struct RecordedBox {
  std::string text;
  manager::BoxKind kind;
  manager::BoxButtons buttons;
  int help_context;
};

class RecordingSink : public manager::MessageSink {
 public:
  void Beep() override { events.push_back("beep"); }
  manager::BoxAnswer ShowBox(const std::string& text, manager::BoxKind kind, manager::BoxButtons buttons,
                             int help_context) override {
    events.push_back("box:" + text);
    boxes.push_back({text, kind, buttons, help_context});
    if (!answers.empty()) {
      const manager::BoxAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    }
    // Unless told otherwise: OK, and No to every question.
    return buttons == manager::BoxButtons::kYesNo ? manager::BoxAnswer::kNo : manager::BoxAnswer::kOk;
  }
  void Focus(std::string_view control) override { events.push_back("focus:" + std::string(control)); }
  void ShellOpen(const std::string& target) override { events.push_back("open:" + target); }
  void ProcessMessagesFor(int ms) override {
    if (ms > 0) {
      waited_ms += ms;
      if (record_waits) events.push_back("wait:" + std::to_string(ms));
    }
    if (on_wait) on_wait(ms);
  }

  std::vector<std::string> events;
  std::vector<RecordedBox> boxes;
  std::deque<manager::BoxAnswer> answers;
  int waited_ms = 0;
  bool record_waits = false;
  // Runs at every wait: lets a test change the world while the rule waits.
  std::function<void(int ms)> on_wait;
};

}  // namespace vltg::testing
