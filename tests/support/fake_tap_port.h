#pragma once
// A TAP port with a scripted caller on the other end, in virtual time.
//
// The caller's script runs in order: each step waits for its trigger (the
// previous step, a text the gateway sends, or any send), then acts after a
// reaction delay: its bytes arrive as one burst, or the carrier drops, or the
// owner switches answering off. The port records every byte the gateway sends
// and when, and reads with the engine's own timed read loops.
#include <cstdint>
#include <string>
#include <vector>

#include "engines/tap_port.h"
#include "engines/tap_reads.h"
#include "engines/tap_session.h"

namespace vltg {

class FakeTapPort : public TTapPort, private TTapInput {
 public:
  static constexpr int64_t kReactionMs = 100;

  // What the gateway sent or the caller did, at a clock time.
  struct Event {
    int64_t at_ms;
    bool from_gateway;
    std::string bytes;
    std::string note;  // instead of bytes: a hang-up, a drop, answering switched off
  };

  // Attaches the port to the engine as an answered call would.
  void Connect(TTapSession& engine);

  // Caller bytes right after the previous step.
  FakeTapPort& Then(std::string bytes, int64_t delay_ms = kReactionMs);
  // Caller bytes once the gateway has sent `gateway_text` (searched from
  // where the previous such step found its text).
  FakeTapPort& When(std::string gateway_text, std::string bytes, int64_t delay_ms = kReactionMs);
  // Caller bytes after the gateway's next send, or after `latest_ms` without
  // one, counted from the previous step.
  FakeTapPort& AfterAnySend(std::string bytes, int64_t latest_ms, int64_t delay_ms = kReactionMs);
  // The caller hangs up (the engine is detached) once the gateway sent the text.
  FakeTapPort& HangUpWhen(std::string gateway_text);
  // The owner switches answering off `delay_ms` after the previous step.
  FakeTapPort& StopAnsweringAfter(int64_t delay_ms);
  // Hangs up as soon as the script has run out and all it sent was read.
  FakeTapPort& HangUpWhenDone();
  // FlushInput raises this many times.
  void FailFlushes(int count) { failing_flushes_ = count; }
  // Aborts the process when the dialogue is still talking at this clock time.
  void AbortAfter(int64_t clock_ms) { abort_at_ms_ = clock_ms; }

  std::string Sent() const;
  const std::vector<Event>& Events() const { return events_; }
  // Clock time the caller's step `index` (0-based) delivered its bytes; -1 before.
  int64_t DeliveredAt(size_t index) const { return steps_.at(index).delivered_at; }
  // Clock time of the gateway's first send at or after `from_ms` containing `text`; -1 when none.
  int64_t SentAt(const std::string& text, int64_t from_ms = 0) const;
  int Drops() const { return drops_; }
  // Both directions, control characters named.
  std::string Transcript() const;

  // TTapPort
  void FlushInput() override;
  bool SendString(const std::string& Text) override;
  int32_t ReadUntil(const std::string& Terminators, std::string& Line, int32_t Seconds) override;
  void ReadBlock(int32_t Seconds, std::string& Text) override;
  void DropCall() override;

 private:
  enum class Trigger { kPrevious, kText, kAnySend };
  enum class Action { kBytes, kHangUp, kStopAnswering };
  struct Step {
    Trigger trigger = Trigger::kPrevious;
    Action action = Action::kBytes;
    std::string text;
    std::string bytes;
    int64_t delay_ms = 0;
    int64_t latest_ms = 0;
    int64_t due = -1;  // armed when set
    int64_t delivered_at = -1;
    size_t event_end = 0;  // events_ size right after it was carried out
  };

  // TTapInput
  std::string ReadWaiting() override;
  bool InputOpen() const override;
  void AwaitInput() override;

  FakeTapPort& Add(Trigger trigger, Action action, std::string text, std::string bytes, int64_t delay_ms,
                   int64_t latest_ms = 0);
  // Arms the steps whose trigger happened and carries out those due.
  void Advance();
  // When the next step may come to be carried out; -1 while it waits for the
  // gateway to send.
  int64_t NextDue() const;
  int64_t TimeOfOutputByte(size_t offset) const;
  void Guard() const;

  TTapSession* engine_ = nullptr;
  int64_t connected_at_ = 0;
  std::vector<Step> steps_;
  size_t delivered_ = 0;  // steps [0, delivered_) are carried out
  size_t search_from_ = 0;
  bool hang_up_when_done_ = false;
  std::string output_;
  std::string waiting_;
  std::vector<Event> events_;
  int drops_ = 0;
  int failing_flushes_ = 0;
  int64_t abort_at_ms_ = 0;
};

// The bytes with control characters and "<" written as <NAME> or <hex>.
std::string Visible(const std::string& bytes);

// A caller's block: STX, the text, the block end, its checksum and CR.
std::string CallerBlock(const std::string& text, char end);

}  // namespace vltg
