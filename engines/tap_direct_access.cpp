// Direct access: a worker thread opens a COM port itself and runs the TAP
// dialogue there, one caller after another. (The modem command script run
// after a call's port is attached: direct_access_script.cpp.)
#include <algorithm>
#include <exception>
#include <memory>

#include "engines/kyr_tap.h"
#include "engines/win_thread.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

// The engine whose direct-access worker runs on this thread.
thread_local const TKYRTap* tDirectAccessEngine = nullptr;

constexpr int32_t kAttachWaitSeconds = 3;

// Waits in the system's manner: pumping, until `done` or the countdown ends.
template <class Done>
void CountdownWait(int32_t seconds, int64_t step_ms, Done done) {
  TTimeCounter counter;
  counter.FStartValue = seconds;
  counter.FExpired = false;
  counter.Start();
  while (!done() && !counter.FExpired) platform::SleepPumping(step_ms);
  counter.Stop();
}

}  // namespace

bool TKYRTap::OnDirectAccessThread() const { return tDirectAccessEngine == this; }

bool TKYRTap::DirectAccessRunning() const { return FDAThread && FDAThread->ThreadCount() > 0; }

void TKYRTap::StartDirectAccess() {
  FDAThreadName = "DAThread" + std::to_string(FLineInstance);
  if (!FDAThread) {
    FDAThread = std::make_unique<TWinThread>();
    FDAThread->ThreadProc = [this](TWinThread&, TWinThreadParam&) { return DAThreadProc(); };
    FDAThread->ThreadException = [](TWinThread&, const TWinThreadInfo&, const std::exception&) {};
  }
  FDAThread->Execute(nullptr);
}

// On the owning thread: the worker's end is reported to it through its pump
// (TWinThread wakes the owner when a worker ends).
void TKYRTap::StopDirectAccess() {
  if (FDAThread) FDAThread->Wake();  // a worker waiting for input looks again
  while (DirectAccessRunning()) platform::WaitMessage(-1);
}

// A run that ends while answering stays on (the port failed to open, the
// dialogue ended on an error or a dropped call) is started again after a
// pause, so the port never stays dead unnoticed. A port that keeps failing
// to open is tried with a pause doubling up to a minute, and only the first
// failure of such a run is reported.
uint32_t TKYRTap::DAThreadProc() {
  tDirectAccessEngine = this;
  FPortFailing = false;
  TRetryPause pause;
  while (FWaitForCall) {
    const bool was_failing = FPortFailing;
    try {
      OpenLine();
    } catch (const std::exception&) {
    }
    // Another failed try of a run of failures: nothing was opened or attached.
    const bool quiet = was_failing && FPortFailing;
    if (!quiet) {
      try {
        CloseLine();
      } catch (const std::exception&) {
      }
    }
    if (!FWaitForCall) break;
    if (!quiet) Progress("Direct Access Port COM" + std::to_string(GetComPort()) + " Closed - Restarting");
    const int64_t pause_ms = quiet ? pause.Next() : pause.First();
    CountdownWait(static_cast<int32_t>(pause_ms / 1000), 15, [this] { return !FWaitForCall; });
  }
  tDirectAccessEngine = nullptr;
  return 0;
}

void TKYRTap::OpenDirectLine() {
  OpenDirectPort();
  if (FPortFailing) return;  // nothing to attach
  CountdownWait(kAttachWaitSeconds, 15, [this] { return FDropping || FCommAttached; });
}

void TKYRTap::OpenDirectPort() {
  const std::string name = "COM" + std::to_string(GetComPort());
  // While the port keeps failing, its tries say nothing; the one that opens
  // it says so.
  if (!FPortFailing) Progress("Connecting to " + name);
  CloseCommHandle();
  if (!FComm.Open(name)) {
    if (!FPortFailing) Progress("Error establishing connection!");
    FPortFailing = true;
    FCommAttached = false;
    return;
  }
  if (FPortFailing) Progress("Connecting to " + name);
  FPortFailing = false;
  // A call dropped in the previous run must not end this one's reads.
  FDropping = false;
  try {
    AttachCommHandle();
  } catch (const std::exception&) {
    CloseCommHandle();
  }
}

}  // namespace vltg
