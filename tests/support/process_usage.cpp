#include "tests/support/process_usage.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vltg::testing {
namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// User and system time of a /proc stat line: fields 14 and 15, counted past
// the command name, which may itself hold blanks and parentheses.
std::optional<double> StatCpuSeconds(const std::string& stat_line) {
  const size_t close = stat_line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat_line.substr(close + 1));
  // Past the name: state is field 3, utime 14, stime 15.
  std::string field;
  uint64_t utime = 0, stime = 0;
  for (int number = 3; number <= 15; ++number) {
    if (!(fields >> field)) return std::nullopt;
    try {
      if (number == 14) utime = std::stoull(field);
      if (number == 15) stime = std::stoull(field);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The number after "Key:" in a /proc status text (kB for the Vm keys).
std::optional<int64_t> StatusNumber(const std::string& status_text, const std::string& key) {
  std::istringstream lines(status_text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key + ":", 0) != 0) continue;
    try {
      return std::stoll(line.substr(key.size() + 1));
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

int64_t ProcessUsage::Switches() const {
  int64_t sum = 0;
  for (const ThreadUsage& t : threads) sum += t.switches;
  return sum;
}

std::optional<ProcessUsage> ReadProcessUsage(int pid) {
  const fs::path dir = fs::path("/proc") / std::to_string(pid);
  const auto stat = ReadFile(dir / "stat");
  const auto status = ReadFile(dir / "status");
  if (!stat || !status) return std::nullopt;
  ProcessUsage usage;
  const auto cpu = StatCpuSeconds(*stat);
  const auto hwm = StatusNumber(*status, "VmHWM");
  const auto rss = StatusNumber(*status, "VmRSS");
  if (!cpu || !hwm || !rss) return std::nullopt;
  usage.cpu_seconds = *cpu;
  usage.peak_rss_kib = *hwm;
  usage.rss_kib = *rss;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir / "task", ec)) {
    const auto task_stat = ReadFile(entry.path() / "stat");
    const auto task_status = ReadFile(entry.path() / "status");
    const auto name = ReadFile(entry.path() / "comm");
    if (!task_stat || !task_status) continue;  // ended meanwhile
    ThreadUsage thread;
    try {
      thread.tid = std::stoi(entry.path().filename().string());
    } catch (const std::exception&) {
      continue;
    }
    thread.name = name ? Trimmed(*name) : "";
    thread.cpu_seconds = StatCpuSeconds(*task_stat).value_or(0);
    thread.switches = StatusNumber(*task_status, "voluntary_ctxt_switches").value_or(0) +
                      StatusNumber(*task_status, "nonvoluntary_ctxt_switches").value_or(0);
    usage.threads.push_back(std::move(thread));
  }
  return usage;
}

}  // namespace vltg::testing
