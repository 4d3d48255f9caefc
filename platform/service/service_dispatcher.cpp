#include "platform/service/service_dispatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/base/ascii_text.h"
#include "platform/base/system_error.h"
#include "platform/service/service_channel.h"
#include "platform/service/service_control.h"

namespace vltg::platform {

struct DispatcherState {
  std::string name;
  std::mutex mutex;
  std::condition_variable changed;
  ServiceStatus status;  // the last report
  uint64_t reports = 0;
  bool main_done = false;
  ServiceControlHandler handler;
  int wake_fd = -1;
  // A control waits for its answer: the first report after it.
  bool answer_pending = false;
  ServiceStatus answer;
};

namespace {

// A control's answer is the first status the service reports after it; a
// service that does not report within this time is answered with what it
// last said.
constexpr auto kControlAnswerWait = std::chrono::milliseconds(1000);
// A client gets this long to send its one request line.
constexpr int kRequestTimeoutMs = 1000;
// At most this many waiting requests are answered after the service ended.
constexpr int kFinalAnswers = 64;

std::mutex g_active_mutex;
std::shared_ptr<DispatcherState> g_active;

std::atomic<int> g_term_fd{-1};

void OnTerm(int) {
  const int fd = g_term_fd.load();
  if (fd < 0) return;
  const int saved = errno;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
  errno = saved;
}

void Signal(int fd) {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
}

void Drain(int fd) {
  uint64_t count;
  while (::read(fd, &count, sizeof count) > 0) {
  }
}

bool IsPending(uint32_t state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_CONTINUE_PENDING ||
         state == SERVICE_PAUSE_PENDING;
}

// 0 when the control may go to the handler in this status, else the refusal.
uint32_t ControlRefusal(const ServiceStatus& status, uint32_t control) {
  if (status.current_state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
  if (control == SERVICE_CONTROL_INTERROGATE) return 0;
  if (control >= SERVICE_CONTROL_USER_FIRST && control <= SERVICE_CONTROL_USER_LAST) return 0;
  if (IsPending(status.current_state)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  uint32_t needed = 0;
  switch (control) {
    case SERVICE_CONTROL_STOP:
      needed = SERVICE_ACCEPT_STOP;
      break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      needed = SERVICE_ACCEPT_PAUSE_CONTINUE;
      break;
    case SERVICE_CONTROL_SHUTDOWN:
      needed = SERVICE_ACCEPT_SHUTDOWN;
      break;
    default:
      return ERROR_INVALID_SERVICE_CONTROL;
  }
  return (status.controls_accepted & needed) ? 0 : ERROR_INVALID_SERVICE_CONTROL;
}

class Dispatcher {
 public:
  Dispatcher(int channel_fd, std::shared_ptr<DispatcherState> state, int term_fd)
      : channel_fd_(channel_fd), state_(std::move(state)), term_fd_(term_fd) {}

  void Run() {
    bool serving = false;
    for (;;) {
      {
        std::lock_guard lock(state_->mutex);
        // Requests wait in the backlog until the service's first report:
        // the starter's first answer is that report.
        serving = state_->reports > 0;
        if (state_->main_done) break;
      }
      DeliverShutdownIfDue();
      pollfd fds[3] = {{state_->wake_fd, POLLIN, 0}, {term_fd_, POLLIN, 0}, {channel_fd_, POLLIN, 0}};
      const int rc = ::poll(fds, serving ? 3 : 2, -1);
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0) return;
      if (fds[0].revents) Drain(state_->wake_fd);
      if (fds[1].revents) {
        Drain(term_fd_);
        shutdown_requested_ = true;
      }
      if (serving && (fds[2].revents & POLLIN)) Serve();
    }
    // Those already waiting (the starter of a service that ended at once
    // among them) are answered with the final status.
    if (serving) {
      for (int i = 0; i < kFinalAnswers; ++i) {
        pollfd fd{channel_fd_, POLLIN, 0};
        if (::poll(&fd, 1, 0) != 1) break;
        Serve();
      }
    }
  }

 private:
  ServiceStatus Current() {
    std::lock_guard lock(state_->mutex);
    return WithPid(state_->status);
  }

  static ServiceStatus WithPid(ServiceStatus status) {
    status.process_id = status.current_state == SERVICE_STOPPED ? 0 : static_cast<uint32_t>(::getpid());
    return status;
  }

  void Serve() {
    const int fd = ::accept4(channel_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (const auto request = ReadChannelRequest(fd, kRequestTimeoutMs)) {
      ChannelReply reply;
      if (request->kind == ChannelRequest::Kind::kQuery) {
        reply.status = Current();
      } else {
        reply = Control(request->control);
      }
      WriteChannelReply(fd, reply, kRequestTimeoutMs);
    }
    ::close(fd);
  }

  ChannelReply Control(uint32_t control) {
    ChannelReply reply;
    ServiceControlHandler handler;
    {
      std::lock_guard lock(state_->mutex);
      reply.error = ControlRefusal(state_->status, control);
      if (reply.error == 0 && !state_->handler) reply.error = ERROR_INVALID_SERVICE_CONTROL;
      if (reply.error != 0) return reply;
      handler = state_->handler;
      state_->answer_pending = true;
    }
    handler(control);
    std::unique_lock lock(state_->mutex);
    const bool answered = state_->changed.wait_for(lock, kControlAnswerWait,
                                                   [&] { return !state_->answer_pending || state_->main_done; });
    reply.status = WithPid(answered && !state_->answer_pending ? state_->answer : state_->status);
    state_->answer_pending = false;
    return reply;
  }

  // The system's request to end becomes the shutdown control once the
  // service runs; a service that does not accept it ends as any process would.
  void DeliverShutdownIfDue() {
    if (!shutdown_requested_) return;
    ServiceControlHandler handler;
    {
      std::lock_guard lock(state_->mutex);
      const ServiceStatus& status = state_->status;
      if (status.current_state == SERVICE_STOPPED || IsPending(status.current_state) || !state_->handler) return;
      if (!(status.controls_accepted & SERVICE_ACCEPT_SHUTDOWN)) {
        ::signal(SIGTERM, SIG_DFL);
        ::raise(SIGTERM);
        return;
      }
      handler = state_->handler;
    }
    shutdown_requested_ = false;
    handler(SERVICE_CONTROL_SHUTDOWN);
  }

  int channel_fd_;
  std::shared_ptr<DispatcherState> state_;
  int term_fd_;
  bool shutdown_requested_ = false;
};

bool ValidChannel(int fd) {
  int listening = 0, domain = 0;
  socklen_t size = sizeof listening;
  if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening) return false;
  size = sizeof domain;
  return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_UNIX;
}

}  // namespace

bool StartServiceCtrlDispatcher(std::string_view service_name, ServiceMainFunction service_main) {
  const char* channel = std::getenv(kServiceChannelVariable);
  int fd = -1;
  if (channel != nullptr) {
    const std::string_view text(channel);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), fd);
    if (ec != std::errc() || end != text.data() + text.size()) fd = -1;
  }
  if (fd < 0 || !ValidChannel(fd)) {
    SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    return false;
  }
  // The channel is this process's alone: programs it starts do not get it.
  ::unsetenv(kServiceChannelVariable);
  ::unsetenv(kServiceNameVariable);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return RunServiceDispatcher(fd, service_name, std::move(service_main));
}

bool RunServiceDispatcher(int channel_fd, std::string_view service_name, ServiceMainFunction service_main) {
  auto state = std::make_shared<DispatcherState>();
  state->name = std::string(service_name);
  state->wake_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  const int term_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  auto close_all = [&] {
    int wake_fd;
    {
      // A handle may outlive the dispatcher; its reports then wake nobody.
      std::lock_guard lock(state->mutex);
      wake_fd = std::exchange(state->wake_fd, -1);
    }
    if (wake_fd >= 0) ::close(wake_fd);
    if (term_fd >= 0) ::close(term_fd);
    ::close(channel_fd);
  };
  if (state->wake_fd < 0 || term_fd < 0) {
    SetLastError(ErrnoToSystemError(errno));
    close_all();
    return false;
  }
  {
    std::lock_guard lock(g_active_mutex);
    if (g_active) {
      SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
      close_all();
      return false;
    }
    g_active = state;
  }

  struct sigaction on_term {}, previous {};
  on_term.sa_handler = OnTerm;
  sigemptyset(&on_term.sa_mask);
  on_term.sa_flags = SA_RESTART;
  g_term_fd = term_fd;
  ::sigaction(SIGTERM, &on_term, &previous);

  std::thread main_thread([&state, &service_main] {
    try {
      service_main({state->name});
    } catch (...) {
      // The service entry reports its own failures; nothing may escape a thread.
    }
    {
      std::lock_guard lock(state->mutex);
      state->main_done = true;
      Signal(state->wake_fd);
    }
    state->changed.notify_all();
  });
  Dispatcher(channel_fd, state, term_fd).Run();
  main_thread.join();

  ::sigaction(SIGTERM, &previous, nullptr);
  g_term_fd = -1;
  {
    std::lock_guard lock(g_active_mutex);
    g_active.reset();
  }
  close_all();
  return true;
}

ServiceStatusHandle RegisterServiceCtrlHandler(std::string_view service_name, ServiceControlHandler handler) {
  std::lock_guard lock(g_active_mutex);
  if (!g_active || !EqualsIgnoreCase(g_active->name, service_name)) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return {};
  }
  {
    std::lock_guard state_lock(g_active->mutex);
    g_active->handler = std::move(handler);
  }
  return ServiceStatusHandle(g_active);
}

bool SetServiceStatus(const ServiceStatusHandle& handle, const ServiceStatus& status) {
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (status.current_state < SERVICE_STOPPED || status.current_state > SERVICE_PAUSED) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  DispatcherState& state = *handle.state_;
  {
    std::lock_guard lock(state.mutex);
    state.status = status;
    ++state.reports;
    if (state.answer_pending) {
      state.answer = status;
      state.answer_pending = false;
    }
    if (state.wake_fd >= 0) Signal(state.wake_fd);
  }
  state.changed.notify_all();
  return true;
}

}  // namespace vltg::platform
