#pragma once
// A pseudo-terminal pair standing in for a serial line: the code under test
// opens the slave path like a COM port; the test plays the peer on the
// master side.
#include <string>
#include <string_view>

namespace vltg::testing {

class PseudoTerminal {
 public:
  PseudoTerminal();  // throws std::runtime_error when no pair can be made
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  int MasterFd() const { return master_; }

  // Sends bytes to the slave's reader; false when they could not all go.
  bool Write(std::string_view bytes);
  // What the slave wrote: up to `max` bytes within `window_ms` real
  // milliseconds, returning early once `max` are in.
  std::string Read(size_t max, int window_ms);
  // Hangs the line up: the slave's reads then fail. The COM links made to it
  // by LinkComPort name nothing from then on.
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slave_path_;
};

// Points <machine root>/devices/com<number> at `target` (the directory is
// made), replacing any link there in one step; set VLTG_ROOT to a test
// directory first.
void LinkComPort(int number, const std::string& target);

}  // namespace vltg::testing
