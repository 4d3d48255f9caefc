#include "tests/support/modem_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <utility>

#include "platform/messages/clock.h"

namespace vltg::testing {
namespace {

using platform::NowMs;

constexpr int64_t kGuardBeforeMs = 500;  // lenient: the line waits more
constexpr int64_t kGuardAfterMs = 1000;
constexpr int kPollMs = 2;  // real milliseconds between looks at the clock
constexpr size_t kMaxCommandLine = 256;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

ModemSimulator::ModemSimulator() {
  slave_ = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ >= 0) {
    // Raw until the line sets its own modes: no echo, no line editing.
    termios modes{};
    if (tcgetattr(slave_, &modes) == 0) {
      cfmakeraw(&modes);
      tcsetattr(slave_, TCSANOW, &modes);
    }
  }
  thread_ = std::thread([this] { Run(); });
}

ModemSimulator::~ModemSimulator() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  thread_.join();
  if (slave_ >= 0) ::close(slave_);
}

void ModemSimulator::SetConnectText(std::string text) {
  std::lock_guard lock(mutex_);
  connect_text_ = std::move(text);
}

void ModemSimulator::SetAnswerDelay(int64_t clock_ms) {
  std::lock_guard lock(mutex_);
  answer_delay_ms_ = clock_ms;
}

void ModemSimulator::SetRingInterval(int64_t clock_ms) {
  std::lock_guard lock(mutex_);
  ring_interval_ms_ = clock_ms;
}

void ModemSimulator::SetRefuseCommands(bool refuse) {
  std::lock_guard lock(mutex_);
  refuse_commands_ = refuse;
}

void ModemSimulator::RefuseCommandsOnceConnected() {
  std::lock_guard lock(mutex_);
  refuse_once_connected_ = true;
}

void ModemSimulator::Call(int max_rings) {
  std::lock_guard lock(mutex_);
  if (connected_ || unplugged_ || max_rings <= 0) return;
  calling_ = true;
  rings_left_ = max_rings;
  next_ring_ = NowMs();
}

void ModemSimulator::StopCalling() {
  std::lock_guard lock(mutex_);
  calling_ = false;
  rings_left_ = 0;
  changed_.notify_all();
}

void ModemSimulator::HangUp() {
  std::lock_guard lock(mutex_);
  calling_ = false;
  rings_left_ = 0;
  connect_at_ = -1;
  if (connected_) {
    EndCall();
    Result("NO CARRIER", 3);
  }
}

void ModemSimulator::Unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
  EndCall();
  calling_ = false;
  rings_left_ = 0;
  pty_.CloseMaster();
  if (slave_ >= 0) ::close(slave_);
  slave_ = -1;
  changed_.notify_all();
}

bool ModemSimulator::SendFromCaller(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  if (!connected_ || unplugged_) return false;
  LineWrite(bytes);
  return true;
}

std::string ModemSimulator::TakeFromLine() {
  std::lock_guard lock(mutex_);
  return std::exchange(from_line_, {});
}

bool ModemSimulator::Calling() const {
  std::lock_guard lock(mutex_);
  return calling_ || connect_at_ >= 0;
}

bool ModemSimulator::Connected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

int ModemSimulator::Rings() const {
  std::lock_guard lock(mutex_);
  return rings_;
}

int ModemSimulator::Answers() const {
  std::lock_guard lock(mutex_);
  return answers_;
}

std::vector<std::string> ModemSimulator::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<int64_t> ModemSimulator::CommandTimes() const {
  std::lock_guard lock(mutex_);
  return command_times_;
}

bool ModemSimulator::WaitUntil(const std::function<bool()>& condition, int64_t clock_ms) const {
  const int64_t until = NowMs() + clock_ms;
  while (!condition()) {
    if (NowMs() >= until) return false;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(kPollMs));
  }
  return true;
}

void ModemSimulator::Run() {
  char buffer[1024];
  for (;;) {
    int fd;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      fd = unplugged_ ? -1 : pty_.MasterFd();
    }
    if (fd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      continue;
    }
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, kPollMs);
    std::lock_guard lock(mutex_);
    if (unplugged_ || stop_) continue;
    const int64_t now = NowMs();
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) Received(std::string_view(buffer, static_cast<size_t>(n)), now);
    }
    Timers(now);
    changed_.notify_all();
  }
}

void ModemSimulator::Timers(int64_t now) {
  if (calling_ && connect_at_ < 0 && now >= next_ring_) {
    if (rings_left_ == 0) {
      calling_ = false;  // one interval after the last ring the caller gives up
    } else {
      --rings_left_;
      ++rings_;
      next_ring_ = now + ring_interval_ms_;
      Result("RING", 2);
    }
  }
  if (connect_at_ >= 0 && now >= connect_at_) {
    connect_at_ = -1;
    connected_ = true;
    online_command_ = false;
    refuse_commands_ = refuse_commands_ || std::exchange(refuse_once_connected_, false);
    ++answers_;
    last_rx_ = now;
    pluses_ = 0;
    escape_at_ = -1;
    from_line_.clear();
    Result(connect_text_, 1);
  }
  if (escape_at_ >= 0 && now - escape_at_ >= kGuardAfterMs) {
    escape_at_ = -1;
    online_command_ = true;
    Result("OK", 0);
  }
}

void ModemSimulator::Received(std::string_view bytes, int64_t now) {
  for (char c : bytes) {
    if (connected_ && !online_command_) {
      from_line_.push_back(c);
      escape_at_ = -1;
      if (c == '+') {
        // Three pluses, the first after a guard silence, then silence again.
        if (now - last_rx_ >= kGuardBeforeMs) {
          pluses_ = 0;
          plus_guarded_ = true;
        } else if (pluses_ == 0) {
          plus_guarded_ = false;
        }
        if (++pluses_ == 3 && plus_guarded_) escape_at_ = now;
      } else {
        pluses_ = 0;
      }
      last_rx_ = now;
      continue;
    }
    if (connect_at_ >= 0) {
      // Any character aborts an answer in progress.
      connect_at_ = -1;
      Result("NO CARRIER", 3);
      continue;
    }
    if (echo_) LineWrite(std::string_view(&c, 1));
    if (c == '\r') {
      std::string line = std::exchange(command_, {});
      CommandLine(line, now);
    } else if (c != '\n' && command_.size() < kMaxCommandLine) {
      command_.push_back(c);
    }
  }
}

void ModemSimulator::CommandLine(const std::string& line, int64_t now) {
  // A modem takes what follows the first "AT" and ignores what came before.
  size_t start = 0;
  while (start + 1 < line.size() && !(Upper(line[start]) == 'A' && Upper(line[start + 1]) == 'T')) ++start;
  if (start + 1 >= line.size()) return;  // not a command
  const std::string_view text = std::string_view(line).substr(start);
  commands_.push_back(std::string(text));
  command_times_.push_back(now);
  if (refuse_commands_) {
    Result("ERROR", 4);
    return;
  }
  switch (Execute(text.substr(2), now)) {
    case Outcome::kOk: Result("OK", 0); break;
    case Outcome::kError: Result("ERROR", 4); break;
    case Outcome::kAnswered: break;
  }
}

ModemSimulator::Outcome ModemSimulator::Execute(std::string_view commands, int64_t now) {
  size_t i = 0;
  auto number = [&]() {
    int value = 0;
    while (i < commands.size() && std::isdigit(static_cast<unsigned char>(commands[i]))) {
      value = value * 10 + (commands[i++] - '0');
    }
    return value;
  };
  while (i < commands.size()) {
    const char c = Upper(commands[i++]);
    switch (c) {
      case ' ': break;
      case 'Z':
        number();
        EndCall();
        echo_ = true;
        verbose_ = true;
        quiet_ = false;
        break;
      case 'E': echo_ = number() != 0; break;
      case 'V': verbose_ = number() != 0; break;
      case 'Q': quiet_ = number() != 0; break;
      case 'X':
      case 'M':
      case 'L':
      case 'I': number(); break;
      case 'S':
        number();
        if (i < commands.size() && commands[i] == '=') {
          ++i;
          number();
        } else if (i < commands.size() && commands[i] == '?') {
          ++i;
        } else {
          return Outcome::kError;
        }
        break;
      case '&':
        if (i >= commands.size()) return Outcome::kError;
        if (const char k = Upper(commands[i++]); k != 'C' && k != 'D' && k != 'K' && k != 'F') return Outcome::kError;
        number();
        break;
      case 'H':
        number();
        EndCall();
        break;
      case 'O':
        number();
        if (!connected_) return Outcome::kError;
        online_command_ = false;
        Result(connect_text_, 1);
        return Outcome::kAnswered;
      case 'A':
        if (connected_) return Outcome::kError;
        if (calling_) {
          calling_ = false;
          rings_left_ = 0;
          connect_at_ = now + answer_delay_ms_;
        } else {
          Result("NO CARRIER", 3);
        }
        return Outcome::kAnswered;  // the rest of the line is ignored, as a modem does
      default: return Outcome::kError;
    }
  }
  return Outcome::kOk;
}

void ModemSimulator::Result(std::string_view text, int code) {
  if (quiet_) return;
  LineWrite(verbose_ ? "\r\n" + std::string(text) + "\r\n" : std::to_string(code) + "\r");
}

void ModemSimulator::LineWrite(std::string_view bytes) {
  if (!unplugged_) pty_.Write(bytes);
}

void ModemSimulator::EndCall() {
  connected_ = false;
  online_command_ = false;
  connect_at_ = -1;
  escape_at_ = -1;
  changed_.notify_all();
}

}  // namespace vltg::testing
