// Opening the port dialog: the manager starts its line application and lists
// the lines, which reads telephony.ini anew. A large file: 20,000 lines (a
// section and its Device key for 10,000 modems), and 100,000 sections.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "manager/model/kyr_alpa_page.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

std::string TelephonyIni(int sections, bool with_device) {
  std::string text;
  for (int i = 0; i < sections; ++i) {
    text += "[Modem " + std::to_string(i) + "]\r\n";
    if (with_device) text += "Device=COM" + std::to_string(i % 16 + 1) + "\r\n";
  }
  return text;
}

void ListLines(benchmark::State& state, int sections, bool with_device) {
  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env("VLTG_ROOT", root.Path().string());
  root.Write("telephony.ini", TelephonyIni(sections, with_device));
  vltg::manager::TKYRAlpaPage page;
  std::vector<vltg::manager::TAlpaLine> lines;
  for (auto _ : state) {
    if (!page.InitializeLine() || !page.GetLineNames(lines)) state.SkipWithError("no line application");
    benchmark::DoNotOptimize(lines.data());
  }
  state.counters["lines"] = static_cast<double>(lines.size());
}

void BM_PortDialogLines20000IniLines(benchmark::State& state) { ListLines(state, 10000, true); }
BENCHMARK(BM_PortDialogLines20000IniLines)->Unit(benchmark::kMillisecond);

void BM_PortDialogLines100000Sections(benchmark::State& state) { ListLines(state, 100000, false); }
BENCHMARK(BM_PortDialogLines100000Sections)->Unit(benchmark::kMillisecond);

}  // namespace
