#pragma once
// The gateway controller. Made by the service's execute handler in the
// service thread, it owns the configuration reader, the route table, the TNPP
// page queue, the TNPP link and the thread components: at start it opens the
// link and starts one TAP thread per configured port (each creates, sets up
// and owns its TAP engine), at stop it ends every thread in order and closes
// the link. The service thread writes the log and runs the rotation timer.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "datafiles/route_table.h"
#include "engines/kyr_tnpp.h"
#include "engines/win_thread.h"
#include "gateway/gateway_controller.h"
#include "gateway/gateway_log.h"
#include "gateway/page_router.h"
#include "gateway/tnpp_page_queue.h"
#include "platform/profile/profile_file.h"

namespace vltg {

class TKYRTap;

class TVLTAPGatewayMain : public TGatewayController {
 public:
  // FormCreate: takes the data directory, opens Config.Dat, loads Route.Dat
  // once. `owner` receives the event-log entries of failed port threads and
  // of files that cannot be read (the gateway then starts with what it can
  // read: an unreadable Config.Dat gives the defaults, an unreadable
  // Route.Dat no routes).
  TVLTAPGatewayMain(platform::TService* owner, const std::string& home_dir,
                    LocalTimeSource now = CurrentLocalTime);
  ~TVLTAPGatewayMain() override;

  bool StartServices() override;
  void StopServices() override;
  bool GetStopped() const override { return FStopped; }
  void PostLog(const std::string& text) override { FLog.PostLog(text); }

  // The pieces tests look at.
  TKYRTNPP& Link() { return KYRTNPP1; }
  TTnppPageQueue& TnppQueue() { return FTnppQueue; }
  TPageRouter& Router() { return FRouter; }
  int TapThreadCount() const { return TAPThread.ThreadCount(); }
  int TnppThreadCount() const { return TNPPThread.ThreadCount(); }

  // Pauses of the start and stop sequences (500 ms and 1000 ms).
  void SetPauses(int64_t before_tap_ms, int64_t after_stop_ms) {
    FBeforeTapMs = before_tap_ms;
    FAfterStopMs = after_stop_ms;
  }

 private:
  uint32_t TAPThreadThreadProc(TWinThread& sender, TWinThreadParam& info);
  void TAPThreadThreadException(TWinThread& sender, const TWinThreadInfo& info, const std::exception& e);
  uint32_t TNPPThreadThreadProc(TWinThread& sender);
  void KYRTNPP1PortOpened(TKYRTNPP& sender);
  // The log lines of a port's engine and its pages' routing.
  void BindTapHandlers(TKYRTap& tap);
  // Hands one queued page to the link (or refuses it); false when the link
  // went down meanwhile and the page must wait for it.
  bool SendQueuedPage(const TTnppPageRecord& record);
  // At stop: each page still queued, here or in the link, is logged as not
  // delivered.
  void LogUndeliveredPages();
  bool ReadEnableTnpp();
  // Config.Dat for one reader. A file that exists but cannot be read gives
  // the defaults, its reason reported.
  platform::ProfileFile OpenConfig();
  // Logs why a file cannot be read and says so in the event log, once for
  // each reason in a run.
  void ReportUnreadable(const std::string& reason);

  platform::TService* FOwner;
  std::atomic<bool> FStopped{false};
  std::string FHomeDir;
  TGatewayLog FLog;
  std::mutex FIniMutex;  // held for one read of FIni
  platform::ProfileFile FIni;
  RouteTable FRoutes;
  TTnppPageQueue FTnppQueue;
  std::atomic<bool> FStopping{false};
  std::atomic<bool> FSenderStarted{false};
  std::mutex FUnreadableMutex;
  std::set<std::string> FReportedUnreadable;
  int64_t FBeforeTapMs = 500;
  int64_t FAfterStopMs = 1000;

  // KYRTNPP1, TNPPThread and TAPThread are the form's components: they keep
  // their names, and their handlers above are named after them.
  TKYRTNPP KYRTNPP1;
  TPageRouter FRouter;
  // Destroyed first: their threads use everything above.
  TWinThread TNPPThread;
  TWinThread TAPThread;
};

}  // namespace vltg
