#include "gateway/snpp/ag_ras.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gateway/snpp/sock.h"
#include "platform/messages/clock.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/thrown_text.h"

namespace vltg {
namespace {

using test::ThrownText;

// A remote-access library with a phone book, live connections and a dial that
// posts a scripted series of (state, error) notices.
struct FakeRas {
  std::vector<std::string> entries{"Office", "Home"};
  std::vector<RasConnection> connections;
  std::map<RasHandle, std::string> ip_addresses;
  std::vector<std::pair<int, int>> dial_notices;
  int dial_result = 0;
  bool password_saved = false;
  std::vector<std::string> calls;
  platform::TargetRef notifier;  // where the last dial's notices go
  uint32_t message = 0;

  RasLibrary Library() {
    RasLibrary library;
    library.EnumEntries = [this](size_t room, std::vector<std::string>& out) {
      EXPECT_EQ(room, 25u);
      out = entries;
      return 0;
    };
    library.EnumConnections = [this](size_t, std::vector<RasConnection>& out) {
      out = connections;
      return 0;
    };
    library.GetProjectionIp = [this](RasHandle handle, std::string& ip) {
      ip = ip_addresses[handle];
      return 0;
    };
    library.GetEntryDialParams = [this](RasDialParams& params, bool& saved) {
      calls.push_back("get " + params.entry_name);
      saved = password_saved;
      return 0;
    };
    library.SetEntryDialParams = [this](const RasDialParams& params, bool remove) {
      calls.push_back("set " + params.password + (remove ? " removed" : " kept"));
      return 0;
    };
    library.Dial = [this](const RasDialParams& params, platform::TargetRef notifier, uint32_t message,
                          RasHandle& handle) {
      calls.push_back("dial " + params.entry_name);
      this->notifier = notifier;
      this->message = message;
      handle = 42;
      for (const auto& [state, error] : dial_notices) notifier.Post(message, state, error);
      return dial_result;
    };
    library.HangUp = [this](RasHandle handle) {
      calls.push_back("hangup " + std::to_string(handle));
      return 0;
    };
    library.GetErrorString = [](int code, std::string& text) {
      if (code == 999) return 1;
      text = "error text " + std::to_string(code);
      return 0;
    };
    library.LoadString = [](int id) { return id == 122 ? std::string("Wählen...") : std::string(); };
    return library;
  }
};

class TagRasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ras_ = std::make_unique<TagRas>(fake_.Library());
    ras_->ShowMessage = [this](const std::string& text) { shown_.push_back(text); };
    ras_->OnStatusChange = [this](TagRas&, const std::string& text) { statuses_.push_back(text); };
    ras_->OnDisconnected = [this](TagRas&) { ++disconnects_; };
  }

  platform::ScopedClock clock_{std::make_shared<platform::ManualClock>(true)};
  FakeRas fake_;
  std::unique_ptr<TagRas> ras_;
  std::vector<std::string> shown_;
  std::vector<std::string> statuses_;
  int disconnects_ = 0;
};

TEST(TagRasWithoutLibrary, CountsAnEmptyServiceAsConnectedAndRefusesAnyOther) {
  TagRas ras;
  std::vector<std::string> shown;
  ras.ShowMessage = [&](const std::string& text) { shown.push_back(text); };
  EXPECT_FALSE(ras.RasAvailable());
  EXPECT_FALSE(ras.FindConnection());
  EXPECT_EQ(ras.GetTimeOut(), 120);
  EXPECT_TRUE(ras.GetForceService());
  EXPECT_TRUE(ras.GetRemovePassword());
  ras.SetService("Office");
  EXPECT_EQ(ras.GetService(), "");
  EXPECT_EQ(shown, std::vector<std::string>{"TagRas component was unable to detect\rRAS on your system."});
  ras.Dial();
  EXPECT_TRUE(ras.GetConnected());
  ras.HangUp();  // nothing to hang up with
  EXPECT_EQ(ERASError(691, RasLibrary{}).what(), std::string());
}

TEST(TagRasStatusText, LibraryTextElseTheFallbackOfTheRow) {
  FakeRas fake;
  TagRas ras(fake.Library());
  EXPECT_EQ(ras.StatusText(0), "Initializing...");
  for (int state : {2, 3, 4}) EXPECT_EQ(ras.StatusText(state), "Wählen...");
  EXPECT_EQ(ras.StatusText(5), "Verifying user name and password");
  EXPECT_EQ(ras.StatusText(19), "Verifying user name and password");
  EXPECT_EQ(ras.StatusText(14), "User name and password verified");
  EXPECT_EQ(ras.StatusText(21), "Logging on to Network");
  EXPECT_EQ(ras.StatusText(RASCS_Connected), "Successfully connected");
  EXPECT_EQ(ras.StatusText(1), "");
  EXPECT_EQ(ras.StatusText(8193), "");
}

TEST_F(TagRasTest, ServiceMustBeAPhoneBookEntryAndNotChangeWhileConnected) {
  EXPECT_TRUE(ras_->RasAvailable());
  ras_->SetService("Office");
  ras_->SetService("Nowhere");
  EXPECT_EQ(ras_->GetService(), "");
  ras_->SetService("Home");
  EXPECT_EQ(ras_->GetService(), "Home");
  fake_.dial_notices = {{RASCS_Connected, 0}};
  ras_->Dial();
  ras_->SetService("Office");
  EXPECT_EQ(ras_->GetService(), "Home");
  EXPECT_EQ(shown_, (std::vector<std::string>{"Invalid service name",
                                              "This property can be set only before\restablishing the connection"}));
}

TEST_F(TagRasTest, DialReportsProgressConnectsAndHangsUp) {
  ras_->SetService("Office");
  ras_->SetPassword("secret");
  ras_->SetRemovePassword(false);
  fake_.dial_notices = {{0, 0}, {2, 0}, {RASCS_Connected, 0}};
  ras_->Dial();
  EXPECT_TRUE(ras_->GetConnected());
  EXPECT_EQ(statuses_, (std::vector<std::string>{"Initializing...", "Wählen...", "Successfully connected"}));
  EXPECT_EQ(fake_.calls, (std::vector<std::string>{"get Office", "set secret kept", "dial Office"}));


  // A connection that fails later is told, not raised into the pump.
  fake_.notifier.Post(fake_.message, RASCS_Connected, 628);
  platform::ProcessMessages();
  EXPECT_EQ(shown_, std::vector<std::string>{"error text 628"});
  EXPECT_TRUE(ras_->GetConnected());

  ras_->HangUp();
  EXPECT_FALSE(ras_->GetConnected());
  EXPECT_EQ(fake_.calls.back(), "hangup 42");
  EXPECT_EQ(disconnects_, 1);
}

TEST_F(TagRasTest, ASavedPasswordIsLeftAlone) {
  ras_->SetService("Office");
  fake_.password_saved = true;
  fake_.dial_notices = {{RASCS_Connected, 0}};
  ras_->Dial();
  EXPECT_EQ(fake_.calls, (std::vector<std::string>{"get Office", "dial Office"}));
}

TEST_F(TagRasTest, ADialThatNeverConnectsTimesOutAndIsHungUp) {
  ras_->SetService("Office");
  ras_->SetTimeOut(10);
  fake_.dial_notices = {{2, 0}};
  const int64_t start = platform::NowMs();
  EXPECT_EQ(ThrownText<ETimedOutError>([&] { ras_->Dial(); }), "Operation timed out");
  EXPECT_GE(platform::NowMs() - start, 9000);
  EXPECT_LE(platform::NowMs() - start, 11000);
  EXPECT_EQ(fake_.calls.back(), "hangup 42");
  EXPECT_FALSE(ras_->GetConnected());
  EXPECT_EQ(disconnects_, 1);
}

TEST_F(TagRasTest, DialErrorsHangUpAndRaiseTheSystemsText) {
  ras_->SetService("Office");
  fake_.dial_notices = {{2, 0}, {3, 691}};
  try {
    ras_->Dial();
    ADD_FAILURE() << "nothing raised";
  } catch (const ERASError& e) {
    EXPECT_EQ(e.GetCode(), 691);
    EXPECT_EQ(std::string(e.what()), "error text 691");
  }
  EXPECT_EQ(ras_->GetLastError(), 691);
  EXPECT_EQ(fake_.calls.back(), "hangup 42");

  fake_.dial_notices.clear();
  fake_.dial_result = 999;  // refused at once; no text for it
  EXPECT_EQ(ThrownText<ERASError>([&] { ras_->Dial(); }), "RAS error no 999");
  EXPECT_EQ(fake_.calls.back(), "hangup 42");
  EXPECT_EQ(disconnects_, 2);
}

TEST_F(TagRasTest, CancelFromAProgressHandlerEndsTheDial) {
  ras_->SetService("Office");
  fake_.dial_notices = {{0, 0}, {2, 0}};
  ras_->OnStatusChange = [](TagRas& sender, const std::string& text) {
    if (text == "Wählen...") sender.Cancel();
  };
  EXPECT_EQ(ThrownText<ECanceledError>([&] { ras_->Dial(); }), "Operation has been canceled");
  EXPECT_EQ(fake_.calls.back(), "hangup 42");
}

TEST_F(TagRasTest, FindConnectionByEntryOrWithoutForceServiceByIpAddress) {
  ras_->SetService("Office");
  fake_.connections = {{7, "Elsewhere"}, {8, "Office"}};
  EXPECT_TRUE(ras_->FindConnection());
  ras_->Dial();  // an existing connection: nothing dialled
  EXPECT_TRUE(ras_->GetConnected());
  EXPECT_TRUE(fake_.calls.empty());

  fake_.connections = {{7, "Elsewhere"}, {9, "Other"}};
  fake_.ip_addresses[9] = "10.0.0.9";
  ras_->SetService("Home");
  EXPECT_FALSE(ras_->FindConnection());
  ras_->SetForceService(false);
  EXPECT_TRUE(ras_->FindConnection());

  auto library = fake_.Library();
  library.EnumConnections = [](size_t, std::vector<RasConnection>&) { return 600; };
  TagRas failing(library);
  try {
    failing.FindConnection();
    ADD_FAILURE() << "nothing raised";
  } catch (const ERASError& e) {
    EXPECT_EQ(e.GetCode(), 600);
  }
}

TEST_F(TagRasTest, ASocketDialsWithItsComponentBeforeConnecting) {
  SockStartup();
  test::ScriptedSnppServer server;
  TSock sock;
  sock.SetHostName("127.0.0.1");
  sock.SetPortName(server.PortName());
  sock.SetRAS(ras_.get());
  ras_->SetService("Office");
  fake_.dial_notices = {{RASCS_Connected, 0}};
  EXPECT_TRUE(sock.Open());
  EXPECT_EQ(fake_.calls.back(), "dial Office");
  sock.Close();

  // A failed dial raises out of Open and leaves no socket behind.
  fake_.dial_notices.clear();
  ras_->HangUp();
  ras_->SetTimeOut(5);
  EXPECT_EQ(ThrownText<ETimedOutError>([&] { sock.Open(); }), "Operation timed out");
  EXPECT_FALSE(sock.GetConnected());

  // Destroying the component clears it from the socket; it connects undialled.
  ras_.reset();
  EXPECT_EQ(sock.GetRAS(), nullptr);
  EXPECT_TRUE(sock.Open());
}

TEST(TagRasSocket, AnEmptyServiceCostsTheSocketNoWait) {
  platform::ScopedClock clock(std::make_shared<platform::ManualClock>(true));
  SockStartup();
  test::ScriptedSnppServer server;
  TagRas ras;
  TSock sock;
  sock.SetHostName("127.0.0.1");
  sock.SetPortName(server.PortName());
  sock.SetRAS(&ras);
  const int64_t start = platform::NowMs();
  EXPECT_TRUE(sock.Open());
  EXPECT_LT(platform::NowMs() - start, 1000);

  // Accepted sockets take over the listener's component.
  TSock listener;
  TSock* accepted = nullptr;
  listener.SetRAS(&ras);
  listener.SetPortName(std::to_string(test::UnusedLocalPort()));
  listener.SetAutoAccept(true);
  listener.OnAutoAccept = [&](TSock&, TSock& new_sock) { accepted = &new_sock; };
  listener.SetListen(true);
  TSock client;
  client.SetHostName("127.0.0.1");
  client.SetPortName(listener.GetPortName());
  client.Open();
  while (!accepted && platform::NowMs() - start < 60000) platform::SleepPumping(5);
  ASSERT_NE(accepted, nullptr);
  EXPECT_EQ(accepted->GetRAS(), &ras);
}

}  // namespace
}  // namespace vltg
