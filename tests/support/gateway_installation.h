#pragma once
// A gateway installation of its own for an end-to-end test: a machine root
// and a data directory holding a copy of vltg (as an installation does), the
// program and vltg-sc run against that root, and readers of what the run
// left in Log.Dat. Whatever still runs is stopped (or killed) at the end.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::testing {

class GatewayInstallation {
 public:
  GatewayInstallation();
  ~GatewayInstallation();
  GatewayInstallation(const GatewayInstallation&) = delete;
  GatewayInstallation& operator=(const GatewayInstallation&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  const std::filesystem::path& Data() const { return data_; }
  const TempDir& Dir() const { return dir_; }

  ProgramResult Vltg(const std::vector<std::string>& args) const;
  ProgramResult Sc(const std::vector<std::string>& args) const;

  // A number shown after "KEY : " by vltg-sc query; -1 when missing.
  int QueryField(const std::string& key) const;
  int State() const { return QueryField("STATE"); }
  int Pid() const { return QueryField("PID"); }
  // Waits (about half a minute at most) for the service state.
  bool WaitForState(int state) const;
  // Installs and starts the gateway; false when it does not come to run.
  bool InstallAndStart() const;
  // Stops it; false when it does not come to a stop.
  bool Stop() const;

  // The texts of `dir`/Log.Dat's lines (after the time stamp), once `last` is
  // among them or `real_ms` have passed.
  std::vector<std::string> LogTexts(const std::filesystem::path& dir, const std::string& last,
                                    int real_ms = 30000) const;
  std::vector<std::string> LogTexts(const std::string& last, int real_ms = 30000) const {
    return LogTexts(data_, last, real_ms);
  }

 private:
  TempDir dir_;
  std::filesystem::path root_ = dir_.Path() / "root";
  std::filesystem::path data_ = dir_.Path() / "data";
  ScopedEnv env_{"VLTG_ROOT", root_.string()};
};

}  // namespace vltg::testing
