#include "tests/support/gateway_installation.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "tests/support/log_texts.h"

namespace vltg::testing {
namespace fs = std::filesystem;

namespace {

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

}  // namespace

GatewayInstallation::GatewayInstallation() {
  fs::create_directories(data_);
  fs::create_directories(root_ / "devices");
  fs::copy_file(VLTG_BINARY_DIR "/gateway/vltg", data_ / "vltg");
}

GatewayInstallation::~GatewayInstallation() {
  Sc({"stop", "VLTAPGateway"});
  for (int i = 0; i < 500 && State() > 1; ++i) Pause();
  if (const int pid = Pid(); pid > 0) ::kill(pid, SIGKILL);
}

ProgramResult GatewayInstallation::Vltg(const std::vector<std::string>& args) const {
  return RunProgram((data_ / "vltg").string(), args, {"VLTG_ROOT=" + root_.string()});
}

ProgramResult GatewayInstallation::Sc(const std::vector<std::string>& args) const {
  return RunProgram(VLTG_BINARY_DIR "/platform/vltg-sc", args, {"VLTG_ROOT=" + root_.string()});
}

int GatewayInstallation::QueryField(const std::string& key) const {
  const std::string out = Sc({"query", "VLTAPGateway"}).out;
  std::smatch match;
  if (!std::regex_search(out, match, std::regex(key + " +: (\\d+)"))) return -1;
  return std::stoi(match[1]);
}

bool GatewayInstallation::WaitForState(int state) const {
  for (int i = 0; i < 3000; ++i) {
    if (State() == state) return true;
    Pause();
  }
  return false;
}

bool GatewayInstallation::InstallAndStart() const {
  return Vltg({"-install"}).exit_status == 0 && Sc({"start", "VLTAPGateway"}).exit_status == 0 &&
         WaitForState(4);
}

bool GatewayInstallation::Stop() const {
  return Sc({"stop", "VLTAPGateway"}).exit_status == 0 && WaitForState(1);
}

std::vector<std::string> GatewayInstallation::LogTexts(const fs::path& dir, const std::string& last,
                                                       int real_ms) const {
  std::vector<std::string> texts;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(real_ms);
  do {
    texts = LogTextsOf(dir_.Read(fs::relative(dir / "Log.Dat", dir_.Path()).string()));
    if (std::find(texts.begin(), texts.end(), last) != texts.end()) break;
    Pause();
  } while (std::chrono::steady_clock::now() < limit);
  return texts;
}

}  // namespace vltg::testing
