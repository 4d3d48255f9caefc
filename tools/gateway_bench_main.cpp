// Throughput of the whole gateway, from call to carrier: the real vltg under
// the service layer, one simulated TAP caller per port sending pages back to
// back, several pages per call, each port's pages routed to a local SNPP peer
// of its own that answers at once. Reports pages per second, the time from a
// page's last block to its ACK, the phases of a call, the gateway process's
// CPU time and peak memory, and its CPU use while idle with 16 ports (modem
// lines, direct-access ports, modem lines with the TNPP link up) and how long
// a stop then takes; each figure beside the floor that the protocol's own
// waits set.
//
//   gateway-bench [--ports 1,4,16|none] [--calls 2] [--pages 20] [--idle SECONDS]
//                 [--idle-cases modem,direct,tnpp]
//
// A measurement, not a test: it runs in real time, for minutes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/caller_script.h"
#include "tests/support/gateway_installation.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/process_usage.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/tnpp_peer_line.h"

namespace vltg::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The floor of one page, from the go-ahead the gateway sends to its ACK, made
// of its own waits alone (engines/tap_session.cpp, engines/tap_reads.cpp,
// gateway/snpp/snpp_client.cpp): the go-ahead's send pause (2 ms), the pause
// before a block is read (500 ms), the read's wait before its first poll
// (750 ms), the pauses of the page's end and submit (2 + 2 ms), the SNPP
// client's pause after cutting the one part (10 ms) and its five reply polls
// at 5 ms (greeting, PAGE, MESS, SEND, QUIT) against a peer that answers at
// once. The caller sends its block as the go-ahead comes, so this is also the
// floor from the last block to the ACK.
constexpr double kBlockToAckFloorMs = 2 + 500 + 750 + 2 + 2 + 10 + 5 * 5;
// ACK to the next ACK adds the ACK's send pause and the go-ahead's pause.
constexpr double kPageCycleFloorMs = 2 + 2 + kBlockToAckFloorMs;
// The logon line's read (750 ms, 1 ms per character of ESC "PG1" CR), the
// pauses after it and the logon acceptance (2 + 2 + 2 ms), then 500 ms before
// the go-ahead and its own 2 ms.
constexpr double kLogonFloorMs = 750 + 5 + 2 + 2 + 2 + 500 + 2;

constexpr int64_t kKnockIntervalMs = 2000;  // a TAP caller sends CR every 2 s until "ID="
constexpr int kKnocks = 15;
constexpr int64_t kRingIntervalMs = 1000;   // rings come faster than a phone's, not to wait on them
constexpr int kRingsPerCall = 60;
constexpr int kIdleBaselineSeconds = 10;  // before each run, to tell the pages' own CPU

const std::string kGoAhead = "\x1b[p\r";
const std::string kAccepted = "Message Submitted For Processing\r\x06\r";
const std::string kRefused = "Page Canceled!\r\x1e\r";
const std::string kGoodBye = "\x1b\x04";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

struct Summary {
  size_t count = 0;
  double mean = 0, p50 = 0, p99 = 0, max = 0;
};

// Nearest-rank percentiles.
Summary Summarise(std::vector<double> values) {
  Summary s;
  s.count = values.size();
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const auto rank = [&](double p) {
    const size_t k = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(k, 1, values.size()) - 1];
  };
  s.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
  s.p50 = rank(0.50);
  s.p99 = rank(0.99);
  s.max = values.back();
  return s;
}

// Port p's pages go to PINs beginning 10 + p, each routed to its own peer.
std::string PortPrefix(int port) { return std::to_string(10 + port); }

std::string PagePin(int port, int page) { return PortPrefix(port) + Format("%04d", page); }

std::string PageText(int port, int call, int page) {
  return Format("Bench page %d of call %d on port %d: the quick brown fox jumps over the lazy dog", page, call,
                port);
}

// The caller's ear: what the line sent, read until an awaited text comes.
class CallerLine {
 public:
  explicit CallerLine(ModemSimulator& modem) : modem_(modem) {}

  bool Send(std::string_view bytes) { return modem_.SendFromCaller(bytes); }

  // The index of the first of `texts` to come within `ms`, -1 when none came;
  // what came before it is passed over. `at` is when it was seen.
  int Expect(std::initializer_list<std::string_view> texts, int64_t ms, Clock::time_point& at) {
    int found = -1;
    modem_.WaitUntil(
        [&] {
          seen_ += modem_.TakeFromLine();
          size_t first = std::string::npos, length = 0;
          int index = 0;
          for (std::string_view text : texts) {
            const size_t pos = seen_.find(text);
            if (pos < first) {
              first = pos;
              length = text.size();
              found = index;
            }
            ++index;
          }
          if (found < 0) return false;
          at = Clock::now();
          seen_.erase(0, first + length);
          return true;
        },
        ms);
    return found;
  }
  int Expect(std::string_view text, int64_t ms, Clock::time_point& at) { return Expect({text}, ms, at); }

  void Forget() {
    seen_.clear();
    modem_.TakeFromLine();
  }

 private:
  ModemSimulator& modem_;
  std::string seen_;
};

struct CallResult {
  Clock::time_point ring, connected, asked_id, go_ahead, eot, ended;
  std::vector<Clock::time_point> block_sent, acked;
  int accepted = 0, refused = 0;
  std::string failure;  // empty when the call went as planned
};

// One call: ring, knock until "ID=", log on, send `pages` pages each as the
// go-ahead comes, then EOT, and wait until the gateway hangs up.
CallResult PlaceCall(ModemSimulator& modem, int port, int call, int pages) {
  CallResult c;
  CallerLine line(modem);
  Clock::time_point at;
  c.ring = Clock::now();
  modem.Call(kRingsPerCall);
  if (!modem.WaitUntil([&] { return modem.Connected(); }, kRingsPerCall * kRingIntervalMs)) {
    c.failure = "never answered";
    return c;
  }
  c.connected = Clock::now();
  line.Forget();
  bool asked = false;
  for (int knock = 0; knock < kKnocks && !asked; ++knock) {
    line.Send("\r");
    asked = line.Expect("ID=", kKnockIntervalMs, c.asked_id) == 0;
  }
  if (!asked) {
    c.failure = "never asked ID=";
    return c;
  }
  line.Send("\x1bPG1\r");
  if (line.Expect(kGoAhead, 15000, c.go_ahead) != 0) {
    c.failure = "no go-ahead after the logon";
    return c;
  }
  for (int page = 0; page < pages; ++page) {
    c.block_sent.push_back(Clock::now());
    line.Send(TapBlock(PagePin(port, call * pages + page), PageText(port, call, page)));
    const int verdict = line.Expect({kAccepted, kRefused}, 90000, at);
    if (verdict < 0) {
      c.failure = Format("no answer to page %d", page);
      return c;
    }
    c.acked.push_back(at);
    ++(verdict == 0 ? c.accepted : c.refused);
    if (line.Expect(kGoAhead, 15000, at) != 0) {
      c.failure = Format("no go-ahead after page %d", page);
      return c;
    }
  }
  c.eot = Clock::now();
  line.Send("\x04\r");
  if (line.Expect(kGoodBye, 15000, at) != 0) {
    c.failure = "no goodbye";
    return c;
  }
  if (!modem.WaitUntil([&] { return !modem.Connected(); }, 30000)) {
    c.failure = "the gateway never hung up";
    return c;
  }
  c.ended = Clock::now();
  return c;
}

// What the ports of a bench gateway are.
enum class PortKind {
  kModemLines,         // telephony lines on simulated modems
  kDirectPorts,        // direct-access ports on pseudo-terminals nobody calls on
  kModemLinesAndTnpp,  // modem lines, and the TNPP link up to a local peer
};

const char* KindName(PortKind kind) {
  switch (kind) {
    case PortKind::kModemLines: return "modem lines";
    case PortKind::kDirectPorts: return "direct-access ports";
    case PortKind::kModemLinesAndTnpp: return "modem lines, TNPP link up";
  }
  return "";
}

// A gateway of `ports` TAP ports, each port's pages routed to an SNPP peer of
// its own, installed and started, every port waiting for calls (and the TNPP
// link up when asked for).
class BenchGateway {
 public:
  explicit BenchGateway(int ports, PortKind kind = PortKind::kModemLines) {
    std::string telephony, config = "[Tap Ports]\r\n", lines, routes;
    std::vector<std::string> ready;
    for (int i = 0; i < ports; ++i) {
      peers_.push_back(std::make_unique<test::ScriptedSnppServer>());
      const std::string n = std::to_string(i + 1);
      config += "Port" + n + "=Line" + n + "\r\n";
      routes += PortPrefix(i) + ",SNPP,127.0.0.1," + peers_.back()->PortName() + "\r\n";
      if (kind == PortKind::kDirectPorts) {
        // 8,N,1 without flow control on COM<n>.
        terminals_.push_back(std::make_unique<PseudoTerminal>());
        LinkComPort(i + 1, terminals_.back()->SlavePath());
        lines += "[Line" + n + "]\r\nEnabled=1\r\nDirectAccess=1\r\nComPort=" + std::to_string(i) +
                 "\r\nDataSettings=1\r\nFlowCtrl=0\r\n";
        ready.push_back("[TAP Dial-Up Connection] Line" + n + " Direct Access Port COM" + n + " Open!");
        continue;
      }
      // The modems by their paths: the COM names stay free for the link.
      modems_.push_back(std::make_unique<ModemSimulator>());
      modems_.back()->SetRingInterval(kRingIntervalMs);
      telephony += "[Modem " + n + "]\r\nDevice=" + modems_.back()->LinePath() + "\r\n";
      lines += "[Line" + n + "]\r\nEnabled=1\r\nDeviceID=" + std::to_string(i) + "\r\nRings=1\r\n";
      ready.push_back("[TAP Dial-Up Connection] Line" + n + " Waiting For Calls...");
    }
    if (kind == PortKind::kModemLinesAndTnpp) {
      tnpp_peer_ = std::make_unique<TnppPeer>();
      tnpp_line_ = std::make_unique<TnppPeerLine>(*tnpp_peer_);
      tnpp_line_->LinkAs(1);
      config += "[TNPP]\r\nEnableTNPP=1\r\nUseCom=0\r\nComSettings=0\r\nHandShake=3\r\n";
      ready.push_back("[TNPP] Link Test OK!");
    }
    gw_.Dir().Write("root/telephony.ini", telephony);
    gw_.Dir().Write("data/Config.Dat", config + lines);
    gw_.Dir().Write("data/Route.Dat", routes);
    if (!gw_.InstallAndStart()) throw std::runtime_error("the gateway did not start");
    for (const std::string& line : ready) {
      const auto texts = gw_.LogTexts(line, 30000);
      if (std::find(texts.begin(), texts.end(), line) == texts.end()) {
        throw std::runtime_error("never logged: " + line);
      }
    }
    pid_ = gw_.Pid();
    if (pid_ <= 0) throw std::runtime_error("vltg-sc query shows no PID");
  }

  int Ports() const { return static_cast<int>(peers_.size()); }
  int Pid() const { return pid_; }
  ModemSimulator& Modem(int port) { return *modems_[static_cast<size_t>(port)]; }
  test::ScriptedSnppServer& Peer(int port) { return *peers_[static_cast<size_t>(port)]; }

  ProcessUsage Usage() const {
    auto usage = ReadProcessUsage(pid_);
    if (!usage) throw std::runtime_error("cannot read /proc/" + std::to_string(pid_));
    return *usage;
  }

  // Asks the service to stop; seconds until its process has ended.
  double StopSeconds() {
    const auto start = Clock::now();
    if (gw_.Sc({"stop", "VLTAPGateway"}).exit_status != 0) throw std::runtime_error("vltg-sc stop failed");
    while (ProcessAlive(pid_) && Clock::now() - start < std::chrono::seconds(60)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Seconds(Clock::now() - start);
  }

 private:
  // Declared before the installation, so the gateway stops before its modems,
  // lines and peers go away.
  std::vector<std::unique_ptr<ModemSimulator>> modems_;
  std::vector<std::unique_ptr<PseudoTerminal>> terminals_;
  std::vector<std::unique_ptr<test::ScriptedSnppServer>> peers_;
  std::unique_ptr<TnppPeer> tnpp_peer_;
  std::unique_ptr<TnppPeerLine> tnpp_line_;
  GatewayInstallation gw_;
  int pid_ = -1;
};

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five;
  in >> one >> five;
  return one + " " + five;
}

// The gateway's CPU use while every line waits for a call, in CPU seconds per
// second; with `report` it is printed with the threads' wake-ups.
double MeasureIdle(BenchGateway& gateway, int seconds, bool report, PortKind kind = PortKind::kModemLines) {
  if (report) {
    std::printf("\n== idle: %d %s, waiting for calls, %d s (load average %s) ==\n", gateway.Ports(),
                KindName(kind), seconds, LoadAverage().c_str());
  }
  const ProcessUsage before = gateway.Usage();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const ProcessUsage after = gateway.Usage();
  const double wall = Seconds(Clock::now() - start);
  const double cpu = after.cpu_seconds - before.cpu_seconds;
  if (!report) return cpu / wall;
  std::printf("gateway CPU        %.2f s in %.1f s = %.2f%% of one core\n", cpu, wall, 100 * cpu / wall);
  std::printf("wake-ups           %.0f context switches/s over %zu threads\n",
              static_cast<double>(after.Switches() - before.Switches()) / wall, after.threads.size());
  std::printf("memory             RSS %.1f MiB, peak %.1f MiB (VmHWM)\n", after.rss_kib / 1024.0,
              after.peak_rss_kib / 1024.0);
  // Which threads wake: grouped by their rate, busiest first.
  struct Rate {
    double switches_per_s, cpu_percent;
  };
  std::vector<Rate> rates;
  for (const ThreadUsage& t : after.threads) {
    const auto was = std::find_if(before.threads.begin(), before.threads.end(),
                                  [&](const ThreadUsage& b) { return b.tid == t.tid; });
    if (was == before.threads.end()) continue;
    rates.push_back({static_cast<double>(t.switches - was->switches) / wall,
                     100 * (t.cpu_seconds - was->cpu_seconds) / wall});
  }
  std::sort(rates.begin(), rates.end(), [](const Rate& a, const Rate& b) { return a.switches_per_s > b.switches_per_s; });
  std::printf("threads by wake-ups/s (CPU %% of one core):");
  for (size_t i = 0; i < rates.size(); ++i) {
    std::printf("%s%.0f (%.2f%%)", i % 6 == 0 ? "\n  " : ", ", rates[i].switches_per_s, rates[i].cpu_percent);
  }
  std::printf("\n");
  std::fflush(stdout);
  return cpu / wall;
}

// `idle_rate`: the gateway's idle CPU seconds per second, beside what the
// calls cost. False when a call failed or a peer received other than sent.
bool PrintTraffic(BenchGateway& gateway, int calls, int pages, double idle_rate) {
  const int ports = gateway.Ports();
  std::printf("\n== %d port%s: %d calls of %d pages per port (load average %s) ==\n", ports, ports == 1 ? "" : "s",
              calls, pages, LoadAverage().c_str());
  std::fflush(stdout);
  const ProcessUsage before = gateway.Usage();
  std::vector<std::vector<CallResult>> results(static_cast<size_t>(ports));
  const auto start = Clock::now();
  {
    std::vector<std::thread> callers;
    for (int port = 0; port < ports; ++port) {
      callers.emplace_back([&, port] {
        for (int call = 0; call < calls; ++call) {
          results[static_cast<size_t>(port)].push_back(PlaceCall(gateway.Modem(port), port, call, pages));
          if (!results[static_cast<size_t>(port)].back().failure.empty()) break;
        }
      });
    }
    for (auto& caller : callers) caller.join();
  }
  const ProcessUsage after = gateway.Usage();

  std::vector<double> block_to_ack, page_cycle, ring_to_connect, connect_to_id, logon, page_phase, goodbye,
      rearm, port_means;
  int accepted = 0, refused = 0, expected = ports * calls * pages;
  size_t delivered = 0, garbled = 0;
  Clock::time_point last_ack = start;
  for (int port = 0; port < ports; ++port) {
    const auto& port_calls = results[static_cast<size_t>(port)];
    std::vector<double> own;
    for (size_t k = 0; k < port_calls.size(); ++k) {
      const CallResult& c = port_calls[k];
      if (!c.failure.empty()) std::printf("FAILED: port %d, call %zu: %s\n", port + 1, k + 1, c.failure.c_str());
      accepted += c.accepted;
      refused += c.refused;
      for (size_t i = 0; i < c.acked.size(); ++i) {
        own.push_back(Ms(c.acked[i] - c.block_sent[i]));
        if (i > 0) page_cycle.push_back(Ms(c.acked[i] - c.acked[i - 1]));
        last_ack = std::max(last_ack, c.acked[i]);
      }
      if (!c.failure.empty()) continue;
      if (k == 0) ring_to_connect.push_back(Seconds(c.connected - c.ring));  // later calls wait for the re-arm
      connect_to_id.push_back(Seconds(c.asked_id - c.connected));
      logon.push_back(Ms(c.go_ahead - c.asked_id));
      page_phase.push_back(Seconds(c.acked.back() - c.go_ahead));
      goodbye.push_back(Seconds(c.ended - c.eot));
      if (k > 0) rearm.push_back(Seconds(c.connected - port_calls[k - 1].ended));
    }
    block_to_ack.insert(block_to_ack.end(), own.begin(), own.end());
    port_means.push_back(Summarise(own).mean);
    const auto received = gateway.Peer(port).Received();
    delivered += received.size();
    // Each page in a connection of its own, exactly as the caller sent it.
    for (size_t i = 0; i < received.size(); ++i) {
      const int call = static_cast<int>(i) / pages, page = static_cast<int>(i) % pages;
      const std::string sent = "PAGE " + PagePin(port, static_cast<int>(i)) + "\r\nMESS " +
                               PageText(port, call, page) + "\r\nSEND\r\nQUIT\r\n";
      if (received[i] != sent) ++garbled;
    }
  }
  if (accepted == 0) {
    std::printf("no page went through\n");
    return false;
  }

  const double run = Seconds(last_ack - start);
  const double cpu = after.cpu_seconds - before.cpu_seconds;
  const Summary latency = Summarise(block_to_ack), cycle = Summarise(page_cycle);
  const double in_call = ports * pages / Summarise(page_phase).mean;
  const double floor_rate = ports * 1000.0 / kPageCycleFloorMs;
  std::printf("pages              %d accepted, %d refused of %d; the peers took %zu, %zu of them not as sent\n",
              accepted, refused, expected, delivered, garbled);
  std::printf("pages per second   %.2f over the run (first ring to last ACK, %.1f s)\n", accepted / run, run);
  std::printf("                   %.2f within calls (go-ahead to last ACK); floor %.2f, %.1f%% of it\n", in_call,
              floor_rate, 100 * in_call / floor_rate);
  std::printf("last block to ACK  mean %.0f ms, p50 %.0f, p99 %.0f, max %.0f (n=%zu); floor %.0f ms, mean +%.0f ms\n",
              latency.mean, latency.p50, latency.p99, latency.max, latency.count, kBlockToAckFloorMs,
              latency.mean - kBlockToAckFloorMs);
  const auto [lowest, highest] = std::minmax_element(port_means.begin(), port_means.end());
  std::printf("                   port means from %.0f to %.0f ms\n", *lowest, *highest);
  std::printf("ACK to next ACK    mean %.0f ms, p99 %.0f; floor %.0f ms\n", cycle.mean, cycle.p99, kPageCycleFloorMs);
  std::printf("per call (mean)    ring to connect %.2f s, connect to ID= %.2f s, logon to go-ahead %.0f ms"
              " (floor %.0f ms)\n",
              Summarise(ring_to_connect).mean, Summarise(connect_to_id).mean, Summarise(logon).mean, kLogonFloorMs);
  std::printf("                   %d pages in %.1f s, EOT to hang-up %.2f s, hang-up to next connect %s\n", pages,
              Summarise(page_phase).mean, Summarise(goodbye).mean,
              rearm.empty() ? "-" : Format("%.2f s", Summarise(rearm).mean).c_str());
  const double wall = Seconds(Clock::now() - start);
  std::printf("gateway process    CPU %.2f s in %.1f s: %.2f%% of one core (idle before the run %.2f%%),"
              " %.1f ms per page\n",
              cpu, wall, 100 * cpu / wall, 100 * idle_rate, accepted ? 1000 * cpu / accepted : 0.0);
  std::printf("                   RSS %.1f MiB before, %.1f MiB after, peak %.1f MiB (VmHWM); %zu threads\n",
              before.rss_kib / 1024.0, after.rss_kib / 1024.0, after.peak_rss_kib / 1024.0, after.threads.size());
  std::fflush(stdout);
  return accepted == expected && delivered == static_cast<size_t>(expected) && garbled == 0;
}

// The idle measurement of one kind of gateway, then how long its stop takes.
void MeasureIdleCase(int seconds, PortKind kind) {
  BenchGateway gateway(16, kind);
  std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start's own work
  MeasureIdle(gateway, seconds, true, kind);
  std::printf("stop               %.2f s from the request to the process's end\n", gateway.StopSeconds());
  std::fflush(stdout);
}

std::vector<PortKind> IdleCases(const std::string& list) {
  std::vector<PortKind> cases;
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ',');) {
    if (item == "modem") cases.push_back(PortKind::kModemLines);
    else if (item == "direct") cases.push_back(PortKind::kDirectPorts);
    else if (item == "tnpp") cases.push_back(PortKind::kModemLinesAndTnpp);
    else throw std::runtime_error("idle cases are modem, direct and tnpp");
  }
  return cases;
}

std::vector<int> PortCounts(const std::string& list) {
  std::vector<int> counts;
  if (list == "none") return counts;
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ',');) {
    const int n = std::stoi(item);
    if (n < 1 || n > 16) throw std::runtime_error("ports go from 1 to 16");
    counts.push_back(n);
  }
  return counts;
}

int Main(int argc, char** argv) {
  std::vector<int> ports = {1, 4, 16};
  std::vector<PortKind> idle_cases = {PortKind::kModemLines, PortKind::kDirectPorts, PortKind::kModemLinesAndTnpp};
  int calls = 2, pages = 20, idle = 60;
  // Options come in pairs: the name and its value.
  for (int i = 1; i < argc; i += 2) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) {
      std::fprintf(stderr,
                   "usage: gateway-bench [--ports 1,4,16|none] [--calls 2] [--pages 20] [--idle 60]"
                   " [--idle-cases modem,direct,tnpp]\n");
      return 2;
    }
    if (arg == "--ports") ports = PortCounts(value);
    else if (arg == "--calls") calls = std::max(1, std::atoi(value));
    else if (arg == "--pages") pages = std::max(1, std::atoi(value));
    else if (arg == "--idle") idle = std::max(0, std::atoi(value));
    else if (arg == "--idle-cases") idle_cases = IdleCases(value);
    else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  std::printf("floors from the protocol's own waits: last block to ACK %.0f ms, ACK to next ACK %.0f ms"
              " (%.3f pages/s per port)\n",
              kBlockToAckFloorMs, kPageCycleFloorMs, 1000 / kPageCycleFloorMs);
  bool ok = true;
  for (int n : ports) {
    BenchGateway gateway(n);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start's own work
    const double idle_rate = MeasureIdle(gateway, kIdleBaselineSeconds, false);
    if (!PrintTraffic(gateway, calls, pages, idle_rate)) ok = false;
  }
  if (idle > 0) {
    for (PortKind kind : idle_cases) MeasureIdleCase(idle, kind);
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace vltg::testing

int main(int argc, char** argv) {
  try {
    return vltg::testing::Main(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gateway-bench: %s\n", e.what());
    return 1;
  }
}
