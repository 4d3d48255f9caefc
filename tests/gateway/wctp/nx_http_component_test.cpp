// The HTTP and HTTPS components against a recording fake core: numbers,
// creation, errors, methods and event dispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gateway/wctp/nx_http.h"
#include "gateway/wctp/nxs_https.h"
#include "tests/gateway/wctp/fake_netxfer_core.h"

namespace vltg {
namespace {

using test::FakeNetXferCore;
using NxInt = platform::NxInt;
using namespace std::string_literals;

const std::set<NxInt> kHttpTexts{1, 6, 10, 11, 14, 20, 21, 23, 24, 27, 29, 30, 31, 35, 37, 42};
const std::set<NxInt> kHttpsTexts{1,  6,  10, 11, 14, 20, 21, 23, 24, 27, 29, 31,
                                  32, 34, 36, 37, 39, 40, 41, 44, 46, 51};

// Each write as "number=text/length" or "number:value".
std::vector<std::string> Writes(const FakeNetXferCore& core, const std::set<NxInt>& texts) {
  std::vector<std::string> writes;
  for (const auto& call : core.CallsTo("Set")) {
    writes.push_back(texts.count(call.number)
                         ? std::to_string(call.number) + "=" + call.text + "/" + std::to_string(call.length)
                         : std::to_string(call.number) + ":" + std::to_string(call.value));
  }
  return writes;
}

TEST(NxComponentCreation, WritesTheCreationValuesInOrderAndSwallowsTheirErrors) {
  const std::vector<std::string> http{"1=/0",  "4:0",  "10=/0", "11=/0", "12:0",  "13:0",
                                      "14=/0", "15:0", "20=/0", "23=/0", "27=/0", "28:80",
                                      "29=/0", "30=/0", "31=/0", "34:60", "37=/0", "42=/0"};
  const std::vector<std::string> https{"1=/0",  "4:0",   "10=/0", "11=/0", "12:0",  "13:0",   "14=/0", "15:0",
                                       "20=/0", "23=/0", "27=/0", "28:80", "29=/0", "30:0",   "31=/0", "32=/0",
                                       "36=MY/2", "37=/0", "38:0", "39=/0", "43:60", "46=/0", "51=/0"};
  for (NxInt refusal : {0, 5}) {
    {
      FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
      core.setResult = refusal;
      TnxHTTP component;
      EXPECT_EQ(Writes(core, kHttpTexts), http);
      EXPECT_EQ(core.calls.front().entry, "Create");
      EXPECT_FALSE(core.misuse);
    }
    {
      FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
      core.setResult = refusal;
      TnxsHTTPS component;
      EXPECT_EQ(Writes(core, kHttpsTexts), https);
      EXPECT_FALSE(core.misuse);
    }
  }
}

TEST(NxComponentCreation, FailsWithCodeMinusOneWithoutALoadedCore) {
  // Not loaded at all: the record is empty.
  platform::NetXferLibrary saved = platform::HttpsLibrary();
  platform::HttpsLibrary() = {};
  try {
    TnxsHTTPS component;
    ADD_FAILURE() << "created without a core";
  } catch (const EnxsHTTPS& e) {
    EXPECT_EQ(e.GetCode(), -1);
    EXPECT_STREQ(e.what(), "NetXfer SSL HTTPS: Error creating component: -1");
  }
  platform::HttpsLibrary() = saved;

  // Loaded, but the core makes no object; its last error is not asked for.
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  core.createResult = 0;
  try {
    TnxHTTP component;
    ADD_FAILURE() << "created without an object";
  } catch (const ENetXfer& e) {
    EXPECT_NE(dynamic_cast<const EnxHTTP*>(&e), nullptr);
    EXPECT_EQ(e.GetCode(), -1);
    EXPECT_STREQ(e.what(), "NetXfer HTTP: Error creating component: -1");
  }
  EXPECT_EQ(core.lastErrorAsked, 0);
  EXPECT_TRUE(core.CallsTo("Set").empty());
}

// Writes every property both components have, through its setter.
template <class C>
void WriteSharedProperties(C& c) {
  c.SetAccept("a");
  c.SetAuthScheme(C::AuthSchemes::authDigest);
  c.SetFirewallHost("fh");
  c.SetFirewallPassword("fp");
  c.SetFirewallPort(1080);
  c.SetFirewallType(C::FirewallTypes::fwSOCKS5);
  c.SetFirewallUser("fu");
  c.SetFollowRedirects(C::FollowRedirects::frSameScheme);
  c.SetLocalFile("lf");
  c.SetLocalHost("lh");
  c.SetPassword("pw");
  c.SetProxyPassword("pp");
  c.SetProxyPort(3128);
  c.SetProxyServer("ps");
  c.SetProxyUser("pu");
  c.SetRange("r");
  c.SetTimeout(5);
  c.SetURL("u");
  c.SetUser("us");
  c.SetPostContentType("text/xml");
  c.SetPostBody("a\0b"s);
  c.SetIdle(false);  // writes nothing
  c.SetAbout(3);     // writes nothing
}

TEST(NxComponentProperties, TnxHTTPWritesAndReadsEachPropertyUnderItsNumber) {
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  TnxHTTP c;
  core.calls.clear();
  WriteSharedProperties(c);
  c.SetServerPort(8080);
  EXPECT_EQ(Writes(core, kHttpTexts),
            (std::vector<std::string>{"1=a/0",   "4:1",    "10=fh/0", "11=fp/0", "12:1080", "13:3",  "14=fu/0",
                                      "15:2",    "20=lf/0", "21=lh/0", "23=pw/0", "27=pp/0", "28:3128", "29=ps/0",
                                      "30=pu/0", "31=r/0", "34:5",    "37=u/0",  "42=us/0", "6=text/xml/0",
                                      "24=a\0b/3"s, "39:8080"}));

  for (NxInt n : kHttpTexts) core.texts[n] = "t" + std::to_string(n);
  core.numbers = {{4, 1}, {12, 120}, {13, 2}, {15, 1}, {18, 0}, {28, 280}, {34, 340}};
  core.texts[35] = "r\0ply"s;
  EXPECT_EQ(c.GetAccept(), "t1");
  EXPECT_EQ(c.GetAuthScheme(), TnxhttpAuthSchemes::authDigest);
  EXPECT_EQ(c.GetFirewallHost(), "t10");
  EXPECT_EQ(c.GetFirewallPassword(), "t11");
  EXPECT_EQ(c.GetFirewallPort(), 120);
  EXPECT_EQ(c.GetFirewallType(), TnxhttpFirewallTypes::fwSOCKS4);
  EXPECT_EQ(c.GetFirewallUser(), "t14");
  EXPECT_EQ(c.GetFollowRedirects(), TnxhttpFollowRedirects::frAlways);
  EXPECT_FALSE(c.GetIdle());
  EXPECT_EQ(c.GetLocalFile(), "t20");
  EXPECT_EQ(c.GetLocalHost(), "t21");
  EXPECT_EQ(c.GetPassword(), "t23");
  EXPECT_EQ(c.GetProxyPassword(), "t27");
  EXPECT_EQ(c.GetProxyPort(), 280);
  EXPECT_EQ(c.GetProxyServer(), "t29");
  EXPECT_EQ(c.GetProxyUser(), "t30");
  EXPECT_EQ(c.GetRange(), "t31");
  EXPECT_EQ(c.GetTimeout(), 340);
  EXPECT_EQ(c.GetURL(), "t37");
  EXPECT_EQ(c.GetUser(), "t42");
  EXPECT_EQ(c.GetReplyBody(), "r\0ply"s);
  EXPECT_EQ(c.GetAbout(), 0);
  for (const auto& get : core.CallsTo("Get")) EXPECT_EQ(get.lengthPlace, get.number == 35) << get.number;
  EXPECT_FALSE(core.misuse);
}

TEST(NxComponentProperties, TnxsHTTPSWritesAndReadsEachPropertyUnderItsNumber) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  TnxsHTTPS c;
  core.calls.clear();
  WriteSharedProperties(c);
  c.SetProxySSL(TnxshttpsProxySSLs::psTunnel);
  c.SetSSLAcceptServerCert("c\0rt"s);
  c.SetSSLCertStore("MY");
  c.SetSSLCertStorePassword("sp");
  c.SetSSLCertStoreType(TnxshttpsSSLCertStoreTypes::sstPFXBlob);
  c.SetSSLCertSubject("ss");
  c.SetSSLServerCert("ignored");
  c.SetSSLServerCertStatus("ignored");
  EXPECT_EQ(Writes(core, kHttpsTexts),
            (std::vector<std::string>{"1=a/0",   "4:1",     "10=fh/0", "11=fp/0", "12:1080", "13:3",  "14=fu/0",
                                      "15:2",    "20=lf/0", "21=lh/0", "23=pw/0", "27=pp/0", "28:3128", "29=ps/0",
                                      "31=pu/0", "32=r/0",  "43:5",    "46=u/0",  "51=us/0", "6=text/xml/0",
                                      "24=a\0b/3"s, "30:3",  "34=c\0rt/4"s, "36=MY/2", "37=sp/0", "38:3", "39=ss/0"}));

  for (NxInt n : kHttpsTexts) core.texts[n] = "t" + std::to_string(n);
  core.numbers = {{30, 2}, {38, 1}, {43, 430}, {28, 280}, {18, 1}};
  EXPECT_EQ(c.GetProxySSL(), TnxshttpsProxySSLs::psNever);
  EXPECT_EQ(c.GetProxyUser(), "t31");
  EXPECT_EQ(c.GetRange(), "t32");
  EXPECT_EQ(c.GetSSLAcceptServerCert(), "t34");
  EXPECT_EQ(c.GetSSLCertStore(), "t36");
  EXPECT_EQ(c.GetSSLCertStorePassword(), "t37");
  EXPECT_EQ(c.GetSSLCertStoreType(), TnxshttpsSSLCertStoreTypes::sstMachine);
  EXPECT_EQ(c.GetSSLCertSubject(), "t39");
  EXPECT_EQ(c.GetSSLServerCert(), "t40");
  EXPECT_EQ(c.GetSSLServerCertStatus(), "t41");
  EXPECT_EQ(c.GetTimeout(), 430);
  EXPECT_EQ(c.GetReplyBody(), "t44");
  EXPECT_EQ(c.GetURL(), "t46");
  EXPECT_EQ(c.GetUser(), "t51");
  EXPECT_EQ(c.GetProxyPort(), 280);
  EXPECT_TRUE(c.GetIdle());
  for (const auto& get : core.CallsTo("Get")) {
    EXPECT_EQ(get.lengthPlace, get.number == 34 || get.number == 36 || get.number == 40 || get.number == 44)
        << get.number;
  }
}

TEST(NxComponentErrors, ARefusedCallRaisesTheCoresLastErrorAndCode) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  TnxsHTTPS c;
  core.setResult = 12;
  try {
    c.SetURL("http://x/");
    ADD_FAILURE() << "no exception";
  } catch (const ENetXferSSL& e) {
    EXPECT_NE(dynamic_cast<const EnxsHTTPS*>(&e), nullptr);
    EXPECT_EQ(e.GetCode(), 12);
    EXPECT_STREQ(e.what(), "The core says no: 12");
  }
  core.doResult = 7;
  core.lastError = "Connection refused";
  EXPECT_THROW(c.PostTo("http://x/"), EnxsHTTPS);
  EXPECT_THROW(c.ClearState(), EnxsHTTPS);
  EXPECT_THROW(c.SetOption("MaxTransferredData=0"), EnxsHTTPS);
}

TEST(NxComponentMethods, CallDoWithTheirNumbersAndArguments) {
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  TnxHTTP c;
  core.calls.clear();
  core.doAnswer = "0";
  EXPECT_EQ(c.SetOption("MaxTransferredData=0"), "0");
  c.PostTo("http://127.0.0.1/wctp");
  c.ClearState();
  c.ShowAbout();
  using Call = FakeNetXferCore::Call;
  EXPECT_EQ(core.CallsTo("Do"), (std::vector<Call>{{"Do", 1, 0, 1, "MaxTransferredData=0"},
                                                   {"Do", 7, 0, 1, "http://127.0.0.1/wctp"},
                                                   {"Do", 9, 0, 0, ""},
                                                   {"Do", 0, 0, 0, ""}}));
}

TEST(NxComponentMethods, EntryPointsThatAreNotLoadedMakeOperationsDoNothing) {
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  {
    TnxHTTP c;
    core.calls.clear();
    platform::HttpLibrary().Set = nullptr;
    platform::HttpLibrary().Get = nullptr;
    platform::HttpLibrary().Do = nullptr;
    platform::HttpLibrary().Destroy = nullptr;
    c.SetURL("u");
    EXPECT_EQ(c.GetURL(), "");
    EXPECT_EQ(c.GetTimeout(), 0);
    EXPECT_FALSE(c.GetIdle());
    EXPECT_EQ(c.SetOption("MaxTransferredData=0"), "");
    c.PostTo("http://x/");
    c.ClearState();
  }
  EXPECT_TRUE(core.calls.empty());
}

TEST(NxComponentMethods, DestructionEndsTheCoreObject) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  { TnxsHTTPS c; }
  ASSERT_EQ(core.CallsTo("Destroy").size(), 1u);
  EXPECT_EQ(core.CallsTo("Destroy")[0].value, 42);
}

TEST(NxComponentEvents, SslServerAuthenticationWritesAcceptBackAsOneOrZero) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  TnxsHTTPS c;
  std::string der = "\x30\0\x01"s, subject = "CN=server", issuer = "CN=ca", status = "self-signed certificate";
  std::vector<std::string> seen;
  bool verdict = false;
  c.OnSSLServerAuthentication = [&](TnxsHTTPS& sender, const std::string& cert, const std::string& subj,
                                    const std::string& iss, const std::string& st, bool& accept) {
    EXPECT_EQ(&sender, &c);
    seen = {cert, subj, iss, st, accept ? "true" : "false"};
    accept = verdict;
  };
  auto fire = [&](NxInt accept) {
    std::vector<NxInt> argv{reinterpret_cast<NxInt>(der.data()), reinterpret_cast<NxInt>(subject.c_str()),
                            reinterpret_cast<NxInt>(issuer.c_str()), reinterpret_cast<NxInt>(status.c_str()), accept};
    std::vector<NxInt> lengths{static_cast<NxInt>(der.size()), 0, 0, 0, 0};
    EXPECT_EQ(core.Fire(9, argv, lengths), 0);
    return argv[4];
  };
  EXPECT_EQ(fire(1), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{der, subject, issuer, status, "true"}));
  verdict = true;
  EXPECT_EQ(fire(0x100), 1);  // only the lowest byte counts: it came in false
  EXPECT_EQ(seen.back(), "false");

  // A handler that throws refuses, and nothing escapes into the core.
  c.OnSSLServerAuthentication = [](TnxsHTTPS&, const std::string&, const std::string&, const std::string&,
                                   const std::string&, bool&) { throw std::runtime_error("handler"); };
  EXPECT_EQ(fire(1), 0);
  // Without a handler the core's own verdict goes back.
  c.OnSSLServerAuthentication = nullptr;
  EXPECT_EQ(fire(1), 1);
}

TEST(NxComponentEvents, EachNumberReachesItsEventAndOthersAreIgnored) {
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  TnxHTTP c;
  std::vector<std::string> raised;
  c.OnError = [&](TnxHTTP&, int code, const std::string& text) { raised.push_back("Error " + std::to_string(code) + " " + text); };
  c.OnStartTransfer = [&](TnxHTTP&, int direction) { raised.push_back("StartTransfer " + std::to_string(direction)); };
  c.OnStatus = [&](TnxHTTP&, const std::string& version, int code, const std::string& text) {
    raised.push_back("Status " + version + " " + std::to_string(code) + " " + text);
  };
  c.OnTransfer = [&](TnxHTTP&, int direction, int bytes, const std::string& text) {
    raised.push_back("Transfer " + std::to_string(direction) + " " + std::to_string(bytes) + " " + text);
  };
  c.OnRedirect = [&](TnxHTTP&, const std::string& location, bool& accept) {
    raised.push_back("Redirect " + location);
    accept = false;
  };
  std::string oops = "oops", version = "HTTP/1.1", ok = "OK", chunk = "a\0b"s, where = "http://y/";
  auto fire = [&](NxInt event, std::vector<NxInt> argv, std::vector<NxInt> lengths) {
    EXPECT_EQ(core.Fire(event, argv, lengths), 0);
    return argv;
  };
  fire(5, {12, reinterpret_cast<NxInt>(oops.c_str())}, {0, 0});
  fire(9, {1}, {0});
  fire(10, {reinterpret_cast<NxInt>(version.c_str()), 200, reinterpret_cast<NxInt>(ok.c_str())}, {0, 0, 0});
  fire(11, {1, 3, reinterpret_cast<NxInt>(chunk.data())}, {0, 0, 3});
  EXPECT_EQ(fire(7, {reinterpret_cast<NxInt>(where.c_str()), 1}, {0, 0})[1], 0);
  fire(12, {1, 2, 3}, {0, 0, 0});  // TnxHTTP knows no event 12
  fire(99, {}, {});
  fire(4, {1}, {0});  // known, but no handler assigned
  EXPECT_EQ(raised, (std::vector<std::string>{"Error 12 oops", "StartTransfer 1", "Status HTTP/1.1 200 OK",
                                              "Transfer 1 3 a\0b"s, "Redirect http://y/"}));
}

TEST(NxComponentEvents, TnxsHTTPSMovesTheLastThreeEventsPastTheSslOnes) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  TnxsHTTPS c;
  std::vector<std::string> raised;
  c.OnSSLStatus = [&](TnxsHTTPS&, const std::string& text) { raised.push_back("SSLStatus " + text); };
  c.OnStartTransfer = [&](TnxsHTTPS&, int) { raised.push_back("StartTransfer"); };
  c.OnStatus = [&](TnxsHTTPS&, const std::string&, int code, const std::string&) {
    raised.push_back("Status " + std::to_string(code));
  };
  c.OnTransfer = [&](TnxsHTTPS&, int, int, const std::string&) { raised.push_back("Transfer"); };
  std::string text = "handshake", empty;
  std::vector<NxInt> message{reinterpret_cast<NxInt>(text.c_str())}, one{0};
  std::vector<NxInt> status{reinterpret_cast<NxInt>(empty.c_str()), 404, reinterpret_cast<NxInt>(empty.c_str())};
  std::vector<NxInt> transfer{1, 0, reinterpret_cast<NxInt>(empty.c_str())}, zeros{0, 0, 0};
  core.Fire(10, message, one);
  core.Fire(11, one, one);
  core.Fire(12, status, zeros);
  core.Fire(13, transfer, zeros);
  core.Fire(14, transfer, zeros);
  EXPECT_EQ(raised, (std::vector<std::string>{"SSLStatus handshake", "StartTransfer", "Status 404", "Transfer"}));
}

}  // namespace
}  // namespace vltg
