#pragma once
// The provider's side of a Hayes-command modem as a state machine: bytes and
// clock time in, commands and line events out. It never touches a device: its
// host (the modem line in the provider, a script in tests) carries out what it
// decides and hears what it reports.
//
// Life of a call: initialise (ATZ, then E0 V1 Q0 S0=0 &C1 &D2, then the line's
// own command, each answered OK); the first RING offers a call and every RING
// rings; ringing that stops gives DISCONNECTED and IDLE; Answer sends ATA and
// CONNECT connects, anything else or no answer in time disconnects. While
// connected the port's data belongs to the call: nothing is read, only carrier
// is watched. Drop lowers DTR (or, where there is no DTR to drive, escapes with
// guarded "+++" and sends ATH0), initialises again and reports IDLE.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vltg::platform {

enum class HayesEvent {
  kReady,         // initialised; waiting for calls
  kOffering,      // the first RING of a call
  kRing,          // every RING of an offered call; param = rings before this one
  kConnected,     // the answer connected; text = what followed CONNECT
  kDisconnected,  // the call ended from outside; param = a LINEDISCONNECTMODE_ value
  kIdle,          // the call is over; the modem is on hook and initialised again
  kDropDone,      // a Drop finished; param = 0 or a LINEERR_ value
  kFailed,        // the modem stopped answering or the device is gone; text = why
};

struct HayesReport {
  HayesEvent event;
  uint32_t param = 0;
  std::string text;
};

class HayesHost {
 public:
  virtual ~HayesHost() = default;
  // False when the device failed.
  virtual bool Write(std::string_view bytes) = 0;
  // False when the device has no DTR line to drive (a pseudo-terminal).
  virtual bool SetDtr(bool on) = 0;
  virtual void PurgeInput() = 0;
  virtual void Report(const HayesReport& report) = 0;
};

class HayesModem {
 public:
  // Clock milliseconds.
  struct Timing {
    int64_t command_ms = 5000;    // for OK after a command
    int64_t ring_gap_ms = 10000;  // silence after a RING that means the caller gave up
    int64_t answer_ms = 60000;    // from ATA to CONNECT
    int64_t guard_ms = 1100;      // silence before "+++"
    int64_t escape_ms = 3000;     // for OK after "+++"
    int64_t dtr_low_ms = 500;     // DTR held low to hang up
  };

  enum class State {
    kStopped,
    kInitialising,  // the commands after Start
    kIdle,
    kOffered,
    kRejected,  // an offered call was dropped; its further rings are ignored
    kAnswering,
    kConnected,
    kDtrLow,
    kEscapeGuard,
    kEscaping,
    kHangingUp,  // ATH0 sent
    kRestoring,  // initialising again after a call
    kFailed,
  };

  // `init_command` is the line's own extra command ("AT" is put in front when
  // missing); empty for none.
  HayesModem(HayesHost& host, std::string init_command, Timing timing);
  HayesModem(HayesHost& host, std::string init_command) : HayesModem(host, std::move(init_command), Timing{}) {}

  void Start(int64_t now);
  void Received(std::string_view bytes, int64_t now);
  // Acts on the deadline when it has passed.
  void Tick(int64_t now);
  // False when no call is offered.
  bool Answer(int64_t now);
  // Ends the current call (offered, answering or connected); false when there
  // is none. kDropDone follows once the modem is back on hook.
  bool Drop(int64_t now);
  void CarrierLost(int64_t now);
  void DeviceLost(const std::string& why);

  State GetState() const { return state_; }
  // When Tick next has something to do; INT64_MAX for never.
  int64_t Deadline() const { return deadline_; }
  // The host reads the port only while this holds: a connected call's bytes
  // are the call's.
  bool ReadsPort() const;
  bool WatchesCarrier() const { return state_ == State::kConnected; }
  // The commands sent after ATZ, in order.
  const std::vector<std::string>& InitCommands() const { return init_; }

 private:
  enum class Result { kOk, kError, kRing, kConnect, kNoCarrier, kBusy, kNoAnswer, kNoDialtone, kOther };
  static Result Classify(std::string_view line, std::string& connect_text);

  void Line(std::string_view line, int64_t now);
  void Report(HayesEvent event, uint32_t param = 0, std::string text = {});
  void Send(std::string_view command, int64_t now, int64_t wait_ms);
  void BeginInit(bool restoring, int64_t now);
  void NextInitCommand(int64_t now);
  void InitFailed(const std::string& why);
  void HangUp(int64_t now);
  void CallEnded(uint32_t mode, int64_t now);
  void Fail(const std::string& why);

  HayesHost& host_;
  Timing timing_;
  std::vector<std::string> init_;
  State state_ = State::kStopped;
  int64_t deadline_;
  size_t init_step_ = 0;
  bool in_call_ = false;       // a call was offered and is not yet idle
  bool drop_pending_ = false;  // kDropDone is owed
  uint32_t rings_ = 0;
  std::string partial_;  // a result line still arriving
};

}  // namespace vltg::platform
