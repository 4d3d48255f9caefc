#pragma once
// Runs a program to its end, as a test drives a command-line tool: the
// arguments, extra environment entries, and what it wrote and returned.
#include <string>
#include <vector>

namespace vltg::testing {

struct ProgramResult {
  int exit_status = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// `env` entries ("NAME=value") are added to the test's own environment.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

// True while the process exists (and is no zombie).
bool ProcessAlive(int pid);

}  // namespace vltg::testing
