#pragma once
// What a running process costs, as Linux counts it under /proc/<pid>: CPU
// time, resident memory and its peak, and per thread the CPU time and how
// often the thread gave up or lost the processor (its wake-ups, when idle).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vltg::testing {

struct ThreadUsage {
  int tid = 0;
  std::string name;
  double cpu_seconds = 0;     // user and system time
  int64_t switches = 0;       // voluntary and involuntary context switches
};

struct ProcessUsage {
  double cpu_seconds = 0;     // user and system time of every thread, living or ended
  int64_t peak_rss_kib = 0;   // VmHWM
  int64_t rss_kib = 0;        // VmRSS
  std::vector<ThreadUsage> threads;  // the living threads

  int64_t Switches() const;   // summed over the living threads
};

// Empty when the process is gone or its files cannot be read.
std::optional<ProcessUsage> ReadProcessUsage(int pid);

}  // namespace vltg::testing
