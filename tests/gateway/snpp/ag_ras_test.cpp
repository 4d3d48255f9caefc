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
using Texts = std::vector<std::string>;

// A remote-access library with a phone book, live connections and a dial that
// posts a scripted series of (state, error) notices.
struct FakeRas {
  Texts entries{"Office", "Home"};
  std::vector<RasConnection> connections;
  std::map<RasHandle, std::string> ip_addresses;
  std::vector<std::pair<int, int>> dial_notices;
  int dial_result = 0;
  Texts calls;
  platform::TargetRef notifier;  // where the last dial's notices go
  uint32_t message = 0;

  RasLibrary Library() {
    RasLibrary library;
    library.EnumEntries = [this](size_t, Texts& out) { return out = entries, 0; };
    library.EnumConnections = [this](size_t, std::vector<RasConnection>& out) { return out = connections, 0; };
    library.GetProjectionIp = [this](RasHandle handle, std::string& ip) { return ip = ip_addresses[handle], 0; };
    library.GetEntryDialParams = [](RasDialParams&, bool& saved) { return saved = false, 0; };
    library.SetEntryDialParams = [this](const RasDialParams& params, bool remove) {
      calls.push_back("set " + params.password + (remove ? " removed" : " kept"));
      return 0;
    };
    library.Dial = [this](const RasDialParams& params, platform::TargetRef to, uint32_t msg, RasHandle& handle) {
      calls.push_back("dial " + params.entry_name);
      notifier = to;
      message = msg;
      handle = 42;
      for (const auto& [state, error] : dial_notices) to.Post(msg, state, error);
      return dial_result;
    };
    library.HangUp = [this](RasHandle handle) { return calls.push_back("hangup " + std::to_string(handle)), 0; };
    library.GetErrorString = [](int code, std::string& text) {
      text = "error text " + std::to_string(code);
      return code == 999 ? 1 : 0;
    };
    library.LoadString = [](int id) { return std::string(id == 122 ? "Wählen..." : ""); };
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
  Texts shown_;
  Texts statuses_;
  int disconnects_ = 0;
};

TEST(TagRasWithoutLibrary, CountsAnEmptyServiceAsConnectedAndRefusesAnyOther) {
  TagRas ras;
  Texts shown;
  ras.ShowMessage = [&](const std::string& text) { shown.push_back(text); };
  EXPECT_FALSE(ras.RasAvailable());
  EXPECT_FALSE(ras.FindConnection());
  ras.SetService("Office");
  EXPECT_EQ(ras.GetService(), "");
  EXPECT_EQ(shown, Texts{"TagRas component was unable to detect\rRAS on your system."});
  ras.Dial();
  EXPECT_TRUE(ras.GetConnected());
  EXPECT_EQ(ERASError(691, RasLibrary{}).what(), std::string());
}

TEST(TagRasStatusText, LibraryTextElseTheFallbackOfTheRow) {
  FakeRas fake;
  TagRas ras(fake.Library());
  Texts texts;
  for (int state : {0, 1, 2, 3, 4, 5, 14, 19, 21, RASCS_Connected, 8193}) texts.push_back(ras.StatusText(state));
  EXPECT_EQ(texts, (Texts{"Initializing...", "", "Wählen...", "Wählen...", "Wählen...",
                          "Verifying user name and password", "User name and password verified",
                          "Verifying user name and password", "Logging on to Network", "Successfully connected", ""}));
}

TEST_F(TagRasTest, DialsAPhoneBookEntryReportingProgressAndHangsUp) {
  ras_->SetService("Nowhere");
  ras_->SetService("Office");
  ras_->SetPassword("secret");
  ras_->SetRemovePassword(false);
  fake_.dial_notices = {{0, 0}, {2, 0}, {RASCS_Connected, 0}};
  ras_->Dial();
  EXPECT_TRUE(ras_->GetConnected());
  EXPECT_EQ(statuses_, (Texts{"Initializing...", "Wählen...", "Successfully connected"}));
  EXPECT_EQ(fake_.calls, (Texts{"set secret kept", "dial Office"}));
  ras_->SetService("Home");
  EXPECT_EQ(ras_->GetService(), "Office");
  EXPECT_EQ(shown_, (Texts{"Invalid service name", "This property can be set only before\restablishing the connection"}));

  // A connection that fails later is told, not raised into the pump.
  fake_.notifier.Post(fake_.message, RASCS_Connected, 628);
  platform::ProcessMessages();
  EXPECT_EQ(shown_.back(), "error text 628");

  ras_->HangUp();
  EXPECT_FALSE(ras_->GetConnected());
  EXPECT_EQ(fake_.calls.back(), "hangup 42");
  EXPECT_EQ(disconnects_, 1);
}

TEST_F(TagRasTest, ATimedOutFailedOrCancelledDialRaisesAndIsHungUp) {
  ras_->SetService("Office");
  ras_->SetTimeOut(10);
  fake_.dial_notices = {{2, 0}};
  const int64_t start = platform::NowMs();
  EXPECT_EQ(ThrownText<ETimedOutError>([&] { ras_->Dial(); }), "Operation timed out");
  EXPECT_NEAR(platform::NowMs() - start, 10000, 1000);
  EXPECT_EQ(fake_.calls.back(), "hangup 42");

  fake_.dial_notices = {{2, 0}, {3, 691}};
  try {
    ras_->Dial();
    ADD_FAILURE() << "nothing raised";
  } catch (const ERASError& e) {
    EXPECT_EQ(e.GetCode(), 691);
    EXPECT_EQ(std::string(e.what()), "error text 691");
  }
  fake_.dial_notices.clear();
  fake_.dial_result = 999;  // refused at once; the library has no text for it
  EXPECT_EQ(ThrownText<ERASError>([&] { ras_->Dial(); }), "RAS error no 999");

  fake_.dial_result = 0;
  fake_.dial_notices = {{0, 0}, {2, 0}};
  ras_->OnStatusChange = [](TagRas& sender, const std::string& text) {
    if (text == "Wählen...") sender.Cancel();
  };
  EXPECT_EQ(ThrownText<ECanceledError>([&] { ras_->Dial(); }), "Operation has been canceled");
  EXPECT_EQ(disconnects_, 4);
  EXPECT_FALSE(ras_->GetConnected());
}

TEST_F(TagRasTest, FindConnectionByEntryOrWithoutForceServiceByIpAddress) {
  ras_->SetService("Office");
  fake_.connections = {{7, "Elsewhere"}, {8, "Office"}};
  ras_->Dial();  // the entry is connected already: nothing is dialled
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
  EXPECT_EQ(ThrownText<ERASError>([&] { failing.FindConnection(); }), "error text 600");
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

  // Destroying the component clears it from the socket, which then connects
  // undialled; without a library an empty Service costs no wait either.
  ras_.reset();
  EXPECT_EQ(sock.GetRAS(), nullptr);
  EXPECT_TRUE(sock.Open());
  sock.Close();
  TagRas without_library;
  sock.SetRAS(&without_library);
  const int64_t start = platform::NowMs();
  EXPECT_TRUE(sock.Open());
  EXPECT_LT(platform::NowMs() - start, 1000);
}

}  // namespace
}  // namespace vltg
