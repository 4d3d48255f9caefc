#pragma once
// The SNPP client that the gateway controller delegates its SNPP deliveries
// to. It runs wholly in the calling thread: every part of a page goes in a
// connection of its own (greeting, optional 2WAY, PAGE, MESS, SEND, QUIT), and
// each wait lets the thread's messages through, so the socket's notices and
// the countdowns' ticks reach it.
#include <cstdint>
#include <functional>
#include <string>

namespace vltg {

// Seconds; the 2WAY, PAGE, RESE, MESS and QUIT waits use the value in force.
struct SnppTimeouts {
  int32_t connect = 5;
  int32_t greeting = 25;
  int32_t send = 45;
};

class SnppClient {
 public:
  // The controller's stop flag, read before each part and in every wait.
  void SetStopFlag(std::function<bool()> stopped) { stopped_ = std::move(stopped); }
  SnppTimeouts GetTimeouts() const { return timeouts_; }
  void SetTimeouts(SnppTimeouts value) { timeouts_ = value; }
  // The pause after each part of a page of several parts.
  int64_t GetPartPauseMs() const { return part_pause_ms_; }
  void SetPartPauseMs(int64_t value) { part_pause_ms_ = value; }

  // Delivers one page; True when every part was accepted (a message cut short
  // at 20 parts counts as delivered). Tags gets the message tag and pass code
  // of a two-way send; Reply the server's reason after a failure, the text of
  // the SEND reply after success. Raises nothing: a lookup or socket failure
  // returns False with its text in Reply.
  bool SendSnpp(const std::string& HostName, const std::string& PortName, const std::string& PIN,
                const std::string& Msg, int MaxLen, bool Reverse, bool TwoWay, bool NumericOnly, std::string& Tags,
                std::string& Reply);

 private:
  bool Stopped() const { return stopped_ && stopped_(); }

  std::function<bool()> stopped_;
  SnppTimeouts timeouts_;
  int64_t part_pause_ms_ = 1500;
};

}  // namespace vltg
