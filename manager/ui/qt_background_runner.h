#pragma once
// The manager's background runner on Qt: the work on a thread of its own, its
// `done` run on the thread that made the runner (the window's) from that
// thread's event loop, and waits that run that thread's events.
#include <QObject>
#include <QSocketNotifier>

#include "manager/model/background_runner.h"
#include "platform/messages/work_hand_off.h"

namespace vltg::manager {

class QtBackgroundRunner : public QObject, public BackgroundRunner {
  Q_OBJECT

 public:
  explicit QtBackgroundRunner(QObject* parent = nullptr);

  void Run(std::function<void()> work, std::function<void()> done) override;
  void WaitUntil(const std::function<bool()>& finished) override;

 private:
  // Its end waits for work still running (a call on a gateway that does not
  // answer ends within the service layer's time-out); `done` calls not yet
  // made are dropped.
  platform::WorkHandOff hand_off_;
  QSocketNotifier ready_;  // finished work to answer
};

}  // namespace vltg::manager
