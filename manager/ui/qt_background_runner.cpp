#include "manager/ui/qt_background_runner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <utility>

namespace vltg::manager {

QtBackgroundRunner::QtBackgroundRunner(QObject* parent) : QObject(parent) {}

QtBackgroundRunner::~QtBackgroundRunner() { pool_.waitForDone(); }

void QtBackgroundRunner::Run(std::function<void()> work, std::function<void()> done) {
  pool_.start([this, work = std::move(work), done = std::move(done)] {
    work();
    QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
  });
}

void QtBackgroundRunner::WaitUntil(const std::function<bool()>& finished) {
  while (!finished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace vltg::manager
