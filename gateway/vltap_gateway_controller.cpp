#include "gateway/vltap_gateway_controller.h"

#include <filesystem>
#include <vector>

#include "datafiles/data_directory.h"
#include "datafiles/tap_ports.h"
#include "engines/kyr_tap.h"
#include "engines/tnpp_packet.h"
#include "gateway/engine_log_lines.h"
#include "gateway/engine_settings.h"
#include "platform/messages/message_queue.h"
#include "platform/service/service.h"

namespace vltg {
namespace {

constexpr int kTapStop = 1;

}  // namespace

TVLTAPGatewayMain::TVLTAPGatewayMain(platform::TService* owner, const std::string& home_dir, LocalTimeSource now)
    : FOwner(owner),
      FHomeDir(home_dir),
      FLog(home_dir, std::move(now)),
      FIni(OpenConfig()),
      FRouter(FRoutes, FLog.Poster(), FTnppQueue,
              TPageRouter::Owner{
                  [this] { return FStopped.load(); },
                  [this] { return ReadEnableTnpp(); },
                  [this] { return KYRTNPP1.GetLinkOpen(); },
                  [this] {
                    std::lock_guard lock(FIniMutex);
                    return ReadWctpConfig(FIni);
                  },
              }) {
  PostLog("TAP Gateway Server Starting");
  try {
    FRoutes = RouteTable::Load(DataFilePath(home_dir, kRouteFileName));
  } catch (const platform::EFileError& e) {
    ReportUnreadable(e.Message());
  }

  TNPPThread.SetTimeOut(5);
  TNPPThread.ThreadProc = [this](TWinThread& sender, TWinThreadParam&) { return TNPPThreadThreadProc(sender); };
  TAPThread.ThreadProc = [this](TWinThread& sender, TWinThreadParam& info) {
    return TAPThreadThreadProc(sender, info);
  };
  TAPThread.ThreadException = [this](TWinThread& sender, const TWinThreadInfo& info, const std::exception& e) {
    TAPThreadThreadException(sender, info, e);
  };

  KYRTNPP1.SetComPortPollingDelay(0);
  KYRTNPP1.SetInterCharTime(2);
  KYRTNPP1.SetIdleRspTout(10);
  KYRTNPP1.SetBusyRspTout(60);
  KYRTNPP1.SetENQRspTout(10);
  KYRTNPP1.SetRSHoldTime(10);
  KYRTNPP1.SetKeepAliveTout(60);
  KYRTNPP1.SetRetrycount(6);
  KYRTNPP1.SetRSHoldRetry(24);
  KYRTNPP1.SetENQRetries(6);
  KYRTNPP1.SetSourceAddress(0);
  KYRTNPP1.SetSTXInit(true);
  KYRTNPP1.SetInertia(3);
  KYRTNPP1.SetDPSerNum(0);
  KYRTNPP1.SetDestAddr(0);
  KYRTNPP1.SetTransparentCRC(false);
  KYRTNPP1.SetPacketSize(ps4096);
  KYRTNPP1.OnPortOpened = [this](TKYRTNPP& sender) { KYRTNPP1PortOpened(sender); };
  BindTnppLogHandlers(KYRTNPP1, FLog.Poster());
  // The link is up: pages waiting for it may go.
  KYRTNPP1.OnLinkTest = [this, logged = KYRTNPP1.OnLinkTest](TKYRTNPP& sender) {
    logged(sender);
    FTnppQueue.WakeWaiter();
  };
}

TVLTAPGatewayMain::~TVLTAPGatewayMain() {
  // A run that never stopped: ask every thread to end; the thread components
  // wait for them as they go, before the link and the queue.
  FStopped = true;
  FStopping = true;
  TNPPThread.SetTag(kTapStop);
  TAPThread.SetTag(kTapStop);
}

bool TVLTAPGatewayMain::ReadEnableTnpp() {
  std::lock_guard lock(FIniMutex);
  return ReadConfig(FIni, kTnppSection, kTnppEnableTNPP, ConfigReader::kGateway);
}

platform::ProfileFile TVLTAPGatewayMain::OpenConfig() {
  platform::ProfileFile config(DataFilePath(FHomeDir, kConfigFileName));
  config.OnUnreadable = [this](const platform::ProfileFile&, const std::string& reason) { ReportUnreadable(reason); };
  return config;
}

void TVLTAPGatewayMain::ReportUnreadable(const std::string& reason) {
  {
    std::lock_guard lock(FUnreadableMutex);
    if (!FReportedUnreadable.insert(reason).second) return;
  }
  PostLog("[System] " + reason);
  if (FOwner) FOwner->LogMessage(reason, platform::EVENTLOG_WARNING_TYPE);
}

bool TVLTAPGatewayMain::StartServices() {
  PostLog("[System] TAP Gateway Start Requested!");
  platform::ProcessMessages();

  TnppConfig tnpp;
  {
    std::lock_guard lock(FIniMutex);
    tnpp = ReadTnppConfig(FIni);
  }
  if (tnpp.enable_tnpp) {
    PostLog("[System] Starting TNPP Services!");
    ApplyTnppSettings(KYRTNPP1, tnpp);
    KYRTNPP1.OpenLink();
    // Without a port there is no link thread and no event to say so.
    if (!KYRTNPP1.Connected()) PostLog("[TNPP] TNPP Link Lost Or Unable To Astablish Link");
  }

  platform::SleepPumping(FBeforeTapMs);
  PostLog("[System] Starting TAP Services!");
  std::vector<std::string> keys;
  {
    std::lock_guard lock(FIniMutex);
    keys = FIni.ReadSection(kTapPortsSection);
  }
  for (const int32_t port : TapPortNumbers(keys)) {
    TAPThread.Execute(reinterpret_cast<void*>(static_cast<intptr_t>(port)));
  }
  PostLog("[System] All Services Active!");
  return true;
}

void TVLTAPGatewayMain::BindTapHandlers(TKYRTap& tap) {
  BindTapLogHandlers(tap, FLog.Poster());
  tap.OnMsgReceived = [this](TTapSession& sender, const std::string& pin, const std::string& msg, std::string&,
                             std::string&, std::string&, bool& submitted) {
    submitted = FRouter.Route(static_cast<TKYRTap&>(sender).PortName, pin, msg);
  };
}

uint32_t TVLTAPGatewayMain::TAPThreadThreadProc(TWinThread& sender, TWinThreadParam& info) {
  const auto port = static_cast<int32_t>(reinterpret_cast<intptr_t>(info.Param));
  const platform::ProfileFile ini = OpenConfig();
  const std::string name = ini.ReadString(kTapPortsSection, TapPortKey(port), "");
  if (name.empty() || !IsUsablePortName(name) || !ReadTapPortConfig(ini, name).enabled) {
    PostLog("[TAP Dial-Up Connection] No Port Name Specified For Port" + std::to_string(port));
    return 0;
  }
  PostLog("[TAP Dial-Up Connection] Starting TAP Modem Services For " + name);

  auto tap = std::make_unique<TKYRTap>();
  // However the thread leaves, the engine is stopped and freed here.
  auto shut_down = [&] {
    platform::SleepPumping(15);
    PostLog("[TAP Dial-Up Connection] " + name + " Thread Shutdown");
    try {
      tap->SetWaitForCall(false);
    } catch (...) {
    }
    platform::ProcessMessages();
    while (tap->FCommAttached) platform::SleepPumping(5);
    try {
      tap.reset();
    } catch (...) {
    }
  };
  try {
    SetUpTapEngine(*tap, ini, port, name, FHomeDir);
    BindTapHandlers(*tap);
    tap->SetWaitForCall(true);
    // The engine's notifications, and with them each call's whole exchange
    // and delivery, run inside this pumping: a stop is seen between calls
    // (setting the Tag wakes this wait).
    while (sender.GetTag() == 0) platform::WaitMessage(-1);
  } catch (...) {
    shut_down();
    throw;
  }
  shut_down();
  return 0;
}

void TVLTAPGatewayMain::TAPThreadThreadException(TWinThread&, const TWinThreadInfo&, const std::exception& e) {
  PostLog(std::string("[System] ") + e.what());
  if (FOwner) FOwner->LogMessage(e.what(), platform::EVENTLOG_ERROR_TYPE);
}

void TVLTAPGatewayMain::KYRTNPP1PortOpened(TKYRTNPP&) {
  // Started once per run, never after a stop began.
  if (!FStopping && !FSenderStarted.exchange(true)) TNPPThread.Execute(nullptr);
  PostLog("[System] TNPP Services Active!");
}

uint32_t TVLTAPGatewayMain::TNPPThreadThreadProc(TWinThread& sender) {
  struct Leave {
    TWinThread& sender;
    TTnppPageQueue& queue;
    ~Leave() {
      queue.SetWaiter({});
      sender.SetTag(0);
      platform::ProcessMessages();
    }
  } leave{sender, FTnppQueue};
  FTnppQueue.SetWaiter(platform::CurrentThread());
  while (sender.GetTag() == 0) {
    if (FStopped) break;
    // The caller was told the page was accepted: while the link is down it
    // waits in the queue, in order, until the link is up or the gateway stops.
    // An append, the link coming up and a stop request each wake this wait.
    if (FTnppQueue.Count() == 0 || !KYRTNPP1.GetLinkUp()) {
      platform::WaitMessage(-1);
      continue;
    }
    platform::SleepPumping(5);
    if (sender.GetTag() == kTapStop) break;
    if (auto record = FTnppQueue.TakeOldest()) {
      if (!SendQueuedPage(*record)) FTnppQueue.ReturnOldest(std::move(*record));
    }
    platform::SleepPumping(5);
  }
  return 0;
}

bool TVLTAPGatewayMain::SendQueuedPage(const TTnppPageRecord& record) {
  const std::string msg = record.Msg.substr(0, 255);
  if (!ReadEnableTnpp()) {
    PostLog("[TNPP] TNPP Delivery Faild (TNPP Not Enabled) For \"" + record.PIN + ", MSG: " + msg);
    return true;
  }
  // Every queued record goes to the link, whatever the spelling of its word:
  // the caller was told it was accepted.
  const auto dest = static_cast<uint32_t>(record.DestAddr);
  if (KYRTNPP1.SendPage(dest, record.Inertia, record.PIN, record.Msg)) return true;
  // Refused by a link that was down or went down meanwhile (it may be up again
  // by now): the page waits. Only a page no packet can carry is given up.
  if (BuildTnppHeader({dest, record.Inertia, KYRTNPP1.GetSourceAddress(), 0})) return false;
  PostLog(DeliveryFailedLine("[TNPP] TNPP", record.PIN, msg));
  return true;
}

void TVLTAPGatewayMain::LogUndeliveredPages() {
  for (const std::string& packet : KYRTNPP1.TakeUnsentPages()) PostLog("[TNPP] Packet Not Sent: " + packet);
  while (auto record = FTnppQueue.TakeOldest()) {
    PostLog(DeliveryFailedLine("[TNPP] TNPP", record->PIN, record->Msg.substr(0, 255)) +
            " Error: Not Delivered Before ShutDown");
  }
}

void TVLTAPGatewayMain::StopServices() {
  PostLog("[System] Server ShutDown Requested");
  FStopping = true;
  TNPPThread.SetTag(kTapStop);
  TAPThread.SetTag(kTapStop);
  // No limit: a TAP exchange in progress is finished first.
  while (TAPThread.ThreadCount() != 0) platform::SleepPumping(5);
  while (TNPPThread.ThreadCount() != 0) platform::SleepPumping(5);
  platform::SleepPumping(FAfterStopMs);
  // Nothing can be forced to end here: a thread still running is reported.
  if (!TNPPThread.StopAll()) PostLog("[System] TNPP Sender Thread Still Running");
  if (!TAPThread.StopAll()) PostLog("[System] TAP Threads Still Running");
  // Also while its device is away: it is not opened again after the stop.
  KYRTNPP1.CloseLink();
  LogUndeliveredPages();
  PostLog("[System] Server ShutDown");
  platform::ProcessMessages();
}

}  // namespace vltg
