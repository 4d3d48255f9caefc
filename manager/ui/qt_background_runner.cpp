#include "manager/ui/qt_background_runner.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <utility>

namespace vltg::manager {

QtBackgroundRunner::QtBackgroundRunner(QObject* parent)
    : QObject(parent), ready_(hand_off_.ReadyDescriptor(), QSocketNotifier::Read) {
  connect(&ready_, &QSocketNotifier::activated, this, [this] {
    while (hand_off_.RunOneFinished()) {
    }
  });
}

void QtBackgroundRunner::Run(std::function<void()> work, std::function<void()> done) {
  hand_off_.Run(std::move(work), std::move(done));
}

void QtBackgroundRunner::WaitUntil(const std::function<bool()>& finished) {
  while (!finished()) {
    if (!hand_off_.RunOneFinished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace vltg::manager
