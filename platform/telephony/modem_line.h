#pragma once
// One open line of the provider: a modem on a serial device, driven by its own
// thread through HayesModem. The thread waits on the message layer (the port's
// readiness and its clock), so every modem time-out counts on the injectable
// clock; it reads the port only while HayesModem says so (not during a
// connected call, whose bytes are the call's) and then polls carrier instead.
//
// Open, Start, Close and DuplicateHandle belong to the line's user; Answer and
// Drop may come from any thread and are carried out on the line's thread,
// whose reports reach the handlers given to Start.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/message_queue.h"
#include "platform/serial/serial_port.h"
#include "platform/telephony/device_config.h"
#include "platform/telephony/hayes_modem.h"

namespace vltg::platform {

class ModemLine : private HayesHost, private PollSource {
 public:
  struct Handlers {
    // Every report after kReady, on the line's thread.
    std::function<void(const HayesReport&)> report;
    // The outcome of an Answer or Drop request, on the line's thread.
    std::function<void(int32_t request, int32_t result)> reply;
  };

  ModemLine(std::string device, DeviceConfig config, HayesModem::Timing timing = {});
  ~ModemLine() override;
  ModemLine(const ModemLine&) = delete;
  ModemLine& operator=(const ModemLine&) = delete;

  // Takes the device for this line alone. 0, LINEERR_NODEVICE (no such
  // device), LINEERR_ALLOCATED (someone holds it) or LINEERR_RESOURCEUNAVAIL
  // (it takes no serial settings).
  int32_t Open();
  // Starts the line's thread and initialises the modem: 0 once it is ready for
  // calls, LINEERR_OPERATIONFAILED when it did not take the initialisation
  // (the thread has then ended).
  int32_t Start(Handlers handlers);
  void Answer(int32_t request);
  void Drop(int32_t request);
  // Hangs up a call that is still up (waiting until the modem is back on hook
  // and initialised), ends the thread and gives the device back.
  void Close();

  // A new descriptor of the open port for a call's user, who closes it; -1
  // when the port is not open.
  int DuplicateHandle() const;
  const std::string& DevicePath() const { return port_.Path(); }

 private:
  struct Request {
    bool answer;
    int32_t id;
  };

  void Run();
  void HandleRequests();
  void WatchCarrier();

  // HayesHost, on the line's thread.
  bool Write(std::string_view bytes) override;
  bool SetDtr(bool on) override;
  void PurgeInput() override;
  void Report(const HayesReport& report) override;
  // PollSource, on the line's thread.
  void CollectFds(std::vector<pollfd>& fds) override;
  void OnReady(const pollfd* fds, size_t count) override;

  const std::string device_;
  const DeviceConfig config_;
  SerialPort port_;
  HayesModem modem_;
  Handlers handlers_;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable started_cv_;
  enum class Startup { kWaiting, kReady, kFailed } startup_ = Startup::kWaiting;
  ThreadRef line_thread_;
  std::deque<Request> requests_;
  bool stop_ = false;

  // The line's thread only.
  std::vector<int32_t> drops_;  // requests owed a reply when the drop is done
  bool carrier_seen_ = false;
  bool carrier_unknown_ = false;
};

}  // namespace vltg::platform
