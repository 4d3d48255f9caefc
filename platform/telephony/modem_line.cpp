#include "platform/telephony/modem_line.h"

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>

#include "platform/messages/clock.h"
#include "platform/serial/com_port_map.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg::platform {
namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
// How often carrier is looked at during a call (clock milliseconds).
constexpr int64_t kCarrierPollMs = 250;
constexpr int64_t kWriteLimitMs = 5000;

bool Settled(HayesModem::State state) {
  using State = HayesModem::State;
  return state == State::kIdle || state == State::kRejected || state == State::kFailed || state == State::kStopped;
}

}  // namespace

ModemLine::ModemLine(std::string device, DeviceConfig config, HayesModem::Timing timing)
    : device_(std::move(device)), config_(std::move(config)), modem_(*this, config_.init_command, timing) {}

ModemLine::~ModemLine() { Close(); }

int32_t ModemLine::Open() {
  std::error_code error;
  if (!std::filesystem::exists(ResolveComPort(device_), error)) return LINEERR_NODEVICE;
  if (!port_.Open(device_)) return LINEERR_ALLOCATED;
  if (!port_.Apply(config_.Serial())) {
    port_.Close();
    return LINEERR_RESOURCEUNAVAIL;
  }
  return 0;
}

int32_t ModemLine::Start(Handlers handlers) {
  handlers_ = std::move(handlers);
  thread_ = std::thread([this] { Run(); });
  std::unique_lock lock(mutex_);
  started_cv_.wait(lock, [this] { return startup_ != Startup::kWaiting; });
  if (startup_ == Startup::kReady) return 0;
  lock.unlock();
  thread_.join();
  return LINEERR_OPERATIONFAILED;
}

void ModemLine::Answer(int32_t request) {
  std::lock_guard lock(mutex_);
  requests_.push_back({true, request});
  line_thread_.Wake();
}

void ModemLine::Drop(int32_t request) {
  std::lock_guard lock(mutex_);
  requests_.push_back({false, request});
  line_thread_.Wake();
}

void ModemLine::Close() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      line_thread_.Wake();
    }
    thread_.join();
  }
  port_.Close();
}

int ModemLine::DuplicateHandle() const {
  const int fd = port_.Handle();
  return fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

void ModemLine::Run() {
  {
    std::lock_guard lock(mutex_);
    line_thread_ = CurrentThread();
  }
  RegisterPollSource(this);
  modem_.Start(NowMs());
  bool stopping = false;
  for (;;) {
    HandleRequests();
    if (!stopping) {
      {
        std::lock_guard lock(mutex_);
        stopping = stop_;
      }
      // Hang up first when a call is still up (no lock: the drop reports).
      if (stopping && !modem_.Drop(NowMs())) break;
    }
    int64_t now = NowMs();
    modem_.Tick(now);
    // A call offered while the line closes (its first RING may come with the
    // modem's last OK) is turned away too: its rings would hold the close for
    // as long as the caller tries.
    if (stopping && modem_.GetState() == HayesModem::State::kOffered) modem_.Drop(now);
    if (modem_.GetState() == HayesModem::State::kFailed || (stopping && Settled(modem_.GetState()))) break;

    int64_t until = modem_.Deadline();
    const bool watch = modem_.WatchesCarrier() && config_.watch_carrier && !carrier_unknown_;
    if (watch) until = std::min(until, now + kCarrierPollMs);
    now = NowMs();
    WaitMessage(until == kNever ? -1 : std::max<int64_t>(0, until - now));
    if (watch) WatchCarrier();
  }
  UnregisterPollSource(this);
  std::lock_guard lock(mutex_);
  if (startup_ == Startup::kWaiting) startup_ = Startup::kFailed;
  started_cv_.notify_all();
}

void ModemLine::HandleRequests() {
  std::deque<Request> requests;
  {
    std::lock_guard lock(mutex_);
    requests.swap(requests_);
  }
  for (const Request& request : requests) {
    if (request.answer) {
      const bool taken = modem_.Answer(NowMs());
      if (handlers_.reply) handlers_.reply(request.id, taken ? 0 : LINEERR_INVALCALLSTATE);
      continue;
    }
    // A drop of an offered call completes inside Drop, so the request waits
    // in the list first.
    drops_.push_back(request.id);
    if (!modem_.Drop(NowMs())) {
      std::erase(drops_, request.id);
      if (handlers_.reply) handlers_.reply(request.id, LINEERR_INVALCALLSTATE);
    }
  }
}

void ModemLine::WatchCarrier() {
  if (!modem_.WatchesCarrier()) return;
  const auto carrier = port_.Carrier();
  if (!carrier) {
    carrier_unknown_ = true;  // a device without modem lines
  } else if (*carrier) {
    carrier_seen_ = true;
  } else if (carrier_seen_) {
    modem_.CarrierLost(NowMs());
  }
}

bool ModemLine::Write(std::string_view bytes) {
  // A modem that holds the port back this long is as good as gone.
  const int64_t give_up = NowMs() + kWriteLimitMs;
  return port_.Write(bytes.data(), bytes.size(), [give_up] { return NowMs() > give_up; }) == bytes.size();
}

bool ModemLine::SetDtr(bool on) { return port_.SetDtr(on); }

void ModemLine::PurgeInput() { port_.Purge(SerialPurge::kInput); }

void ModemLine::Report(const HayesReport& report) {
  switch (report.event) {
    case HayesEvent::kReady: {
      std::lock_guard lock(mutex_);
      startup_ = Startup::kReady;
      started_cv_.notify_all();
      return;
    }
    case HayesEvent::kFailed: {
      std::unique_lock lock(mutex_);
      if (startup_ == Startup::kWaiting) return;  // Start reports it
      break;
    }
    case HayesEvent::kConnected:
      carrier_seen_ = false;
      carrier_unknown_ = false;
      break;
    case HayesEvent::kDropDone: {
      const auto drops = std::exchange(drops_, {});
      if (handlers_.reply) {
        for (int32_t id : drops) handlers_.reply(id, static_cast<int32_t>(report.param));
      }
      return;
    }
    default: break;
  }
  if (handlers_.report) handlers_.report(report);
}

void ModemLine::CollectFds(std::vector<pollfd>& fds) {
  if (modem_.ReadsPort() && port_.Handle() >= 0) fds.push_back({port_.Handle(), POLLIN, 0});
}

void ModemLine::OnReady(const pollfd* fds, size_t count) {
  // A hang-up reads as nothing once what was buffered has been read.
  const bool hung_up = count > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  char buffer[512];
  while (modem_.ReadsPort()) {
    const long n = port_.Read(buffer, sizeof buffer, 0);
    if (n < 0 || (n == 0 && hung_up)) {
      modem_.DeviceLost(n < 0 ? port_.LastError() : port_.Path() + ": the device has gone");
      return;
    }
    if (n == 0) return;
    modem_.Received(std::string_view(buffer, static_cast<size_t>(n)), NowMs());
  }
}

}  // namespace vltg::platform
