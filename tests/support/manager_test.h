#pragma once
// The fixture a test of the manager's rules stands on: a data directory of its
// own, a machine root (no gateway installed unless the test installs one), the
// service database handle, a recording sink, the runner of the service calls
// and the main window's rules.
#include <gtest/gtest.h>

#include "manager/model/service_manager.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thread_runner.h"

namespace vltg::testing {

class ManagerTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  RecordingSink sink_;
  ThreadRunner runner_;
  manager::TServiceManager manager_{sink_, scm_, dir_.Path().string(), runner_};
};

}  // namespace vltg::testing
