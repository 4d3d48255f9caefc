#pragma once
// The manager's background runner on Qt: the work on a pool thread, its
// `done` queued back to the thread that made the runner (the window's), and
// waits that run that thread's events.
#include <QObject>
#include <QThreadPool>

#include "manager/model/background_runner.h"

namespace vltg::manager {

class QtBackgroundRunner : public QObject, public BackgroundRunner {
  Q_OBJECT

 public:
  explicit QtBackgroundRunner(QObject* parent = nullptr);
  // Waits for work still running (a call on a gateway that does not answer
  // ends within the service layer's time-out); `done` calls not yet made
  // are dropped.
  ~QtBackgroundRunner() override;

  void Run(std::function<void()> work, std::function<void()> done) override;
  void WaitUntil(const std::function<bool()>& finished) override;

 private:
  QThreadPool pool_;
};

}  // namespace vltg::manager
