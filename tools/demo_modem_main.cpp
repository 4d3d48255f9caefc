// demo-modem: the simulated modem of the demo. It makes a pseudo-terminal
// modem, links it as COMn under $VLTG_ROOT/devices (before the gateway opens
// its line, which it does once at start), and then serves page requests on a
// Unix socket: each request is one line "PIN MESSAGE"; the modem rings the
// gateway, a TAP caller delivers the page, and the transcript and the
// gateway's verdict go back to the requester and to this tool's output.
//
//   demo-modem --com N --socket PATH [--settle MILLISECONDS]
//   demo-modem --page PATH PIN [MESSAGE ...]     sends one request and shows the answer
//
// The last line of an answer is "result: " and the outcome; --page exits 0
// only for "result: accepted (ACK)".
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "platform/base/machine_root.h"
#include "tests/support/modem_line_ready.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tools/demo_page_request.h"
#include "tools/tap_caller.h"

namespace {

using namespace vltg::testing;

constexpr int64_t kDefaultSettleMs = 4000;  // as modem-sim: longer than a port's pause after a call
constexpr int64_t kReadyWaitMs = 30000;
constexpr int kMaxRings = 3;
constexpr int64_t kAnswerWaitMs = 30000;
constexpr int kRequestWaitMs = 5000;
constexpr int kAnswerReadMs = 300000;  // a whole call, delivery included
const std::string kResult = "result: ";
const std::string kAccepted = kResult + TapVerdictText(TapVerdict::kAccepted);

volatile std::sig_atomic_t stop_requested = 0;

int Usage() {
  std::cerr << "usage: demo-modem --com N --socket PATH [--settle MILLISECONDS]\n"
               "       demo-modem --page PATH PIN [MESSAGE ...]\n";
  return 2;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// Each line written goes to this tool's output, marked, and to the requester
// (who may have gone: the call goes on).
class AnswerStream : public std::streambuf {
 public:
  explicit AnswerStream(int fd) : fd_(fd) {}

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    line_ += traits_type::to_char_type(c);
    if (c == '\n') {
      std::cout << "demo-modem: " << line_ << std::flush;
      if (fd_ >= 0 && !SendAll(fd_, line_)) fd_ = -1;
      line_.clear();
    }
    return c;
  }

 private:
  int fd_;
  std::string line_;
};

class DemoModem {
 public:
  DemoModem(int com, int64_t settle_ms) : com_(com), settle_ms_(settle_ms) {
    LinkComPort(com, modem_.LinePath());
  }
  ~DemoModem() {
    // The link goes with the modem, unless someone has pointed it elsewhere.
    const auto link = vltg::platform::MachineRoot() / "devices" / ("com" + std::to_string(com_));
    std::error_code error;
    if (std::filesystem::read_symlink(link, error) == modem_.LinePath()) std::filesystem::remove(link, error);
  }
  const std::string& LinePath() const { return modem_.LinePath(); }

  // Serves one request; the answer's last line is the result.
  void Serve(const std::string& line, std::ostream& answer) {
    std::string reason;
    const auto page = ParseDemoPageRequest(line, reason);
    if (!page) {
      answer << kResult << "not sent (" << reason << ")\n";
      return;
    }
    answer << "page for " << page->pin << ": \"" << page->message << "\"\n";
    const std::string com = "COM" + std::to_string(com_);
    if (!LineSetUpSeen(modem_, 0)) {
      answer << kResult << "not sent (the gateway has not set up its modem line on " << com << ")\n";
      return;
    }
    if (!WaitForLineReady(modem_, commands_before_, settle_ms_, kReadyWaitMs)) {
      answer << kResult << "not sent (the gateway has not taken its modem line on " << com << " back)\n";
      return;
    }
    answer << "ringing the gateway on " << com << "\n";
    const int rings_before = modem_.Rings();
    modem_.Call(kMaxRings);
    modem_.WaitUntil([&] { return modem_.Connected() || !modem_.Calling(); }, kAnswerWaitMs);
    const int rings = modem_.Rings() - rings_before;
    if (!modem_.Connected()) {
      modem_.StopCalling();
      answer << kResult << "not sent (no answer after " << rings << " rings)\n";
      return;
    }
    answer << "answered after " << rings << (rings == 1 ? " ring\n" : " rings\n");
    commands_before_ = modem_.Commands().size();
    std::string failure;
    const TapVerdict verdict = PlayTapPageCall(modem_, *page, answer, failure);
    answer << kResult << TapVerdictText(verdict) << (failure.empty() ? "" : " (" + failure + ")") << "\n";
  }

 private:
  ModemSimulator modem_;
  int com_;
  int64_t settle_ms_;
  size_t commands_before_ = 0;  // the line's set-up after the last call counts
};

// The request line, up to its LF; empty when none came in time.
std::string ReadRequest(int fd) {
  std::string line;
  char buffer[256];
  pollfd poll_fd{fd, POLLIN, 0};
  while (line.find('\n') == std::string::npos && line.size() < 1024 && poll(&poll_fd, 1, kRequestWaitMs) > 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

void OnStopSignal(int) { stop_requested = 1; }

int ServeRequests(int com, const std::string& socket_path, int64_t settle_ms) {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  DemoModem demo(com, settle_ms);
  const sockaddr_un address = SocketAddress(socket_path);
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  unlink(socket_path.c_str());
  if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 8) != 0) {
    std::cerr << "demo-modem: cannot listen on " << socket_path << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  std::cout << "demo-modem: modem on " << demo.LinePath() << " as COM" << com << ", page requests on "
            << socket_path << std::endl;
  while (!stop_requested) {
    pollfd poll_fd{listener, POLLIN, 0};
    if (poll(&poll_fd, 1, 250) <= 0) continue;
    const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    AnswerStream buffer(client);
    std::ostream answer(&buffer);
    demo.Serve(ReadRequest(client), answer);
    close(client);
  }
  close(listener);
  unlink(socket_path.c_str());
  return 0;
}

int SendPage(const std::string& socket_path, const std::string& line) {
  std::string reason;
  if (!ParseDemoPageRequest(line, reason)) {
    std::cerr << "demo-modem: " << reason << "\n";
    return 2;
  }
  const sockaddr_un address = SocketAddress(socket_path);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::cerr << "demo-modem: no demo modem answers on " << socket_path << " (is the demo running?)\n";
    return 2;
  }
  SendAll(fd, line + "\n");
  std::string answer;
  char buffer[1024];
  pollfd poll_fd{fd, POLLIN, 0};
  while (poll(&poll_fd, 1, kAnswerReadMs) > 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    std::cout.write(buffer, n).flush();
    answer.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  if (answer.ends_with('\n')) answer.pop_back();
  return answer.substr(answer.rfind('\n') + 1) == kAccepted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() >= 3 && args[0] == "--page") {
      std::string line = args[2];
      for (size_t i = 3; i < args.size(); ++i) line += " " + args[i];
      return SendPage(args[1], line);
    }
    int com = 0;
    int64_t settle_ms = kDefaultSettleMs;
    std::string socket_path;
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
      try {
        if (args[i] == "--com") com = std::stoi(args[i + 1]);
        else if (args[i] == "--socket") socket_path = args[i + 1];
        else if (args[i] == "--settle") settle_ms = std::stoi(args[i + 1]);
        else return Usage();
      } catch (const std::logic_error&) {
        return Usage();
      }
    }
    if (args.size() % 2 != 0 || com < 1 || socket_path.empty() || settle_ms < 0) return Usage();
    return ServeRequests(com, socket_path, settle_ms);
  } catch (const std::exception& e) {
    std::cerr << "demo-modem: " << e.what() << "\n";
    return 1;
  }
}
