#pragma once
// A Hayes-command modem on a pseudo-terminal, with a caller behind it. The
// code under test opens LinePath() (or the COM name linked to it) as its modem
// port; the test rings, speaks for the caller and hangs up.
//
// Command mode: AT command lines (echoed while E1) are answered OK, or ERROR
// for what the modem does not know; Z, E, V, Q, S, &C, &D, &K, &F, X, M, L, I,
// A, H and O are known. A rings the modem answers with "CONNECT 9600" after
// the answer delay, else with NO CARRIER. Connected (data mode), the line's
// bytes go to the caller and the caller's to the line, until the caller hangs
// up (NO CARRIER), the line escapes ("+++" with a guard silence before and
// after, then OK) and sends ATH, or the modem is unplugged (the
// pseudo-terminal goes away). Times count on the platform clock, so a scaled
// clock speeds the modem up with everything else.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/pseudo_terminal.h"

namespace vltg::testing {

class ModemSimulator {
 public:
  ModemSimulator();
  ~ModemSimulator();
  ModemSimulator(const ModemSimulator&) = delete;
  ModemSimulator& operator=(const ModemSimulator&) = delete;

  const std::string& LinePath() const { return pty_.SlavePath(); }

  // Settings; take effect from the next use.
  void SetConnectText(std::string text);       // default "CONNECT 9600"
  void SetAnswerDelay(int64_t clock_ms);       // ATA to CONNECT, default 200
  void SetRingInterval(int64_t clock_ms);      // between the rings of a call, default 6000
  // A modem gone bad: every command line is answered ERROR while set.
  void SetRefuseCommands(bool refuse);
  // The modem goes bad the moment its next call connects, so that everything
  // the line sends to end that call is refused already.
  void RefuseCommandsOnceConnected();

  // A caller rings: one RING now and one every ring interval until the modem
  // answers, StopCalling, or `max_rings` rings (then the caller gives up).
  void Call(int max_rings = 10);
  void StopCalling();
  // The caller hangs up: a connected call ends with NO CARRIER.
  void HangUp();
  // The device goes away: the pseudo-terminal is closed for good.
  void Unplug();

  // The caller's side of a connected call: false when there is none.
  bool SendFromCaller(std::string_view bytes);
  // What the line sent to the caller since the last take.
  std::string TakeFromLine();

  // A caller waits for the call to connect (it rings, or is being answered).
  bool Calling() const;
  bool Connected() const;
  int Rings() const;
  int Answers() const;  // calls connected
  // Every command line the modem received, in order, as sent ("ATZ").
  std::vector<std::string> Commands() const;
  // When each of them came, in clock milliseconds (read after its bytes had
  // arrived, before they were answered).
  std::vector<int64_t> CommandTimes() const;

  // Waits until `condition` holds (true) or `clock_ms` of the platform clock
  // have passed (false). Only for a thread that has no messages to pump.
  bool WaitUntil(const std::function<bool()>& condition, int64_t clock_ms) const;

 private:
  void Run();
  void Received(std::string_view bytes, int64_t now);
  void CommandLine(const std::string& line, int64_t now);
  // kAnswered: the command gave its own result (A, O).
  enum class Outcome { kOk, kError, kAnswered };
  // Carries out the commands after "AT"; kError for one it does not know.
  Outcome Execute(std::string_view commands, int64_t now);
  void Result(std::string_view text, int code);
  void LineWrite(std::string_view bytes);
  void EndCall();
  void Timers(int64_t now);

  PseudoTerminal pty_;
  int slave_ = -1;  // held so the pseudo-terminal outlives the line's closes

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::thread thread_;
  bool stop_ = false;
  bool unplugged_ = false;

  std::string connect_text_ = "CONNECT 9600";
  int64_t answer_delay_ms_ = 200;
  int64_t ring_interval_ms_ = 6000;
  bool refuse_commands_ = false;
  bool refuse_once_connected_ = false;

  bool echo_ = true;
  bool verbose_ = true;
  bool quiet_ = false;
  std::string command_;  // command line arriving

  bool calling_ = false;  // a caller waits for the answer
  int rings_left_ = 0;
  int64_t next_ring_ = 0;
  int64_t connect_at_ = -1;  // when an answer connects
  bool connected_ = false;
  bool online_command_ = false;  // escaped from a connected call

  // Escape detection in data mode.
  int64_t last_rx_ = -1;
  int pluses_ = 0;
  bool plus_guarded_ = false;
  int64_t escape_at_ = -1;

  std::string from_line_;
  int rings_ = 0;
  int answers_ = 0;
  std::vector<std::string> commands_;
  std::vector<int64_t> command_times_;
};

}  // namespace vltg::testing
