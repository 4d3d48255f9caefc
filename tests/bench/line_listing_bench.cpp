// Opening the port dialog: the manager starts its line application and lists
// the lines, which reads telephony.ini anew. Large files: 20,000 lines (a
// section and its Device key for each of 10,000 modems), and 100,000 sections.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "manager/model/modem_lines.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

void BM_PortDialogLines(benchmark::State& state, int sections, bool with_device) {
  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env("VLTG_ROOT", root.Path().string());
  std::string ini;
  for (int i = 0; i < sections; ++i) {
    ini += "[Modem " + std::to_string(i) + "]\r\n";
    if (with_device) ini += "Device=COM" + std::to_string(i % 16 + 1) + "\r\n";
  }
  root.Write("telephony.ini", ini);
  vltg::manager::TModemLines component;
  std::vector<vltg::manager::TModemLine> lines;
  for (auto _ : state) {
    if (!component.InitializeLine() || !component.GetLineNames(lines)) state.SkipWithError("no line application");
  }
  state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK_CAPTURE(BM_PortDialogLines, 20000_ini_lines, 10000, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PortDialogLines, 100000_sections, 100000, false)->Unit(benchmark::kMillisecond);

}  // namespace
