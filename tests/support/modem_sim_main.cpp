// modem-sim: a simulated modem with a caller behind it, for demos and
// end-to-end tests. It makes a pseudo-terminal modem, links it as COMn under
// $VLTG_ROOT/devices, waits until the line has initialised it, rings, and once
// the call is answered plays the caller's script, printing what was sent and
// what the line answered. It then hangs up and waits for the line to be ready
// again before it ends.
//
//   modem-sim --com N [--script FILE] [--rings N] [--calls N] [--wait SECONDS]
//             [--settle MILLISECONDS]
//
// --settle is how long the line must stay quiet after initialising the modem
// before the modem counts as ready (default 4000, longer than the pause a
// gateway port takes before it opens its line again after a call).
//
// Exit status: 0 when every call was answered and its script succeeded.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/support/caller_script.h"
#include "tests/support/modem_line_ready.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"

namespace {

using vltg::testing::CallerScript;
using vltg::testing::ModemSimulator;
using vltg::testing::WaitForLineReady;

constexpr int64_t kDefaultSettleMs = 4000;

int Usage() {
  std::cerr << "usage: modem-sim --com N [--script FILE] [--rings N] [--calls N] [--wait SECONDS]"
               " [--settle MILLISECONDS]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int com = 0, rings = 10, calls = 1;
  int64_t wait_seconds = 60, settle_ms = kDefaultSettleMs;
  std::string script_path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    try {
      if (arg == "--com") com = std::stoi(value);
      else if (arg == "--script") script_path = value;
      else if (arg == "--rings") rings = std::stoi(value);
      else if (arg == "--calls") calls = std::stoi(value);
      else if (arg == "--wait") wait_seconds = std::stoi(value);
      else if (arg == "--settle") settle_ms = std::stoi(value);
      else return Usage();
    } catch (const std::exception&) {
      return Usage();
    }
  }
  if (com < 1 || rings < 1 || calls < 1 || wait_seconds < 1 || settle_ms < 0) return Usage();

  CallerScript script;
  if (!script_path.empty()) {
    std::ifstream in(script_path, std::ios::binary);
    if (!in) {
      std::cerr << "modem-sim: cannot read " << script_path << "\n";
      return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
      script = CallerScript::Parse(text.str());
    } catch (const std::exception& e) {
      std::cerr << "modem-sim: " << script_path << ": " << e.what() << "\n";
      return 1;
    }
  }

  ModemSimulator modem;
  try {
    vltg::testing::LinkComPort(com, modem.LinePath());
  } catch (const std::exception& e) {
    std::cerr << "modem-sim: " << e.what() << "\n";
    return 1;
  }
  std::cout << "modem on " << modem.LinePath() << " as COM" << com << "\n" << std::flush;
  const int64_t wait_ms = wait_seconds * 1000;

  for (int call = 1; call <= calls; ++call) {
    if (!WaitForLineReady(modem, 0, settle_ms, wait_ms)) {
      std::cerr << "modem-sim: the line did not initialise the modem\n";
      return 1;
    }
    std::cout << "call " << call << ": ringing\n" << std::flush;
    const int rings_before = modem.Rings();
    modem.Call(rings);
    if (!modem.WaitUntil([&] { return modem.Connected() || !modem.Calling(); }, wait_ms) || !modem.Connected()) {
      std::cerr << "modem-sim: call " << call << " was not answered after " << modem.Rings() - rings_before << " rings\n";
      return 1;
    }
    std::cout << "call " << call << ": answered after " << modem.Rings() - rings_before << " rings\n" << std::flush;
    const size_t commands_before = modem.Commands().size();
    const std::string failure = script.Play(modem, &std::cout);
    if (modem.Connected()) {
      std::cout << "(caller hangs up)\n";
      modem.HangUp();
    }
    if (!failure.empty()) {
      std::cerr << "modem-sim: call " << call << ": " << failure << "\n";
      return 1;
    }
    // The line puts its modem back in order before the next call (or the end).
    if (!WaitForLineReady(modem, commands_before, settle_ms, wait_ms)) {
      std::cerr << "modem-sim: the line did not take the modem back after call " << call << "\n";
      return 1;
    }
  }
  return 0;
}
