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

using testing::FakeNetXferCore;
using NxInt = platform::NxInt;
using Strings = std::vector<std::string>;
using namespace std::string_literals;

const std::set<NxInt> kHttpTexts{1, 6, 10, 11, 14, 20, 21, 23, 24, 27, 29, 30, 31, 35, 37, 42};
const std::set<NxInt> kHttpsTexts{1, 6, 10, 11, 14, 20, 21, 23, 24, 27, 29, 31, 32, 34, 36, 37, 39, 40, 41, 44, 46, 51};

// Each write as "number=text/length" or "number:value".
Strings Writes(const FakeNetXferCore& core, const std::set<NxInt>& texts) {
  Strings writes;
  for (const auto& call : core.CallsTo("Set")) {
    writes.push_back(std::to_string(call.number) + (texts.count(call.number)
                                                        ? "=" + call.text + "/" + std::to_string(call.length)
                                                        : ":" + std::to_string(call.value)));
  }
  return writes;
}

template <class E, class Make>
std::string Raised(Make make, int code) {
  try {
    make();
  } catch (const E& e) {
    EXPECT_EQ(e.GetCode(), code);
    return e.what();
  }
  return "nothing raised";
}

TEST(NxComponentCreation, WritesTheCreationValuesInOrderAndSwallowsTheirErrors) {
  const Strings http{"1=/0",  "4:0",   "10=/0", "11=/0", "12:0",  "13:0",  "14=/0", "15:0",  "20=/0",
                     "23=/0", "27=/0", "28:80", "29=/0", "30=/0", "31=/0", "34:60", "37=/0", "42=/0"};
  const Strings https{"1=/0",  "4:0",   "10=/0", "11=/0",   "12:0",  "13:0", "14=/0", "15:0",
                      "20=/0", "23=/0", "27=/0", "28:80",   "29=/0", "30:0", "31=/0", "32=/0",
                      "36=MY/2", "37=/0", "38:0", "39=/0", "43:60", "46=/0", "51=/0"};
  for (NxInt refusal : {0, 5}) {
    FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
    core.setResult = refusal;
    TnxHTTP component;
    EXPECT_EQ(Writes(core, kHttpTexts), http);
    EXPECT_FALSE(core.misuse);
  }
  for (NxInt refusal : {0, 5}) {
    FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
    core.setResult = refusal;
    TnxsHTTPS component;
    EXPECT_EQ(Writes(core, kHttpsTexts), https);
  }
}

TEST(NxComponentCreation, FailsWithCodeMinusOneWithoutACoreOrAnObject) {
  platform::NetXferLibrary saved = platform::HttpsLibrary();
  platform::HttpsLibrary() = {};
  EXPECT_EQ(Raised<EnxsHTTPS>([] { TnxsHTTPS c; }, -1), "NetXfer SSL HTTPS: Error creating component: -1");
  platform::HttpsLibrary() = saved;

  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  core.createResult = 0;
  EXPECT_EQ(Raised<EnxHTTP>([] { TnxHTTP c; }, -1), "NetXfer HTTP: Error creating component: -1");
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

TEST(NxComponentProperties, TnxHTTPUsesItsNumbers) {
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  TnxHTTP c;
  core.calls.clear();
  WriteSharedProperties(c);
  c.SetServerPort(8080);
  EXPECT_EQ(Writes(core, kHttpTexts),
            (Strings{"1=a/0",   "4:1",    "10=fh/0", "11=fp/0", "12:1080", "13:3",         "14=fu/0",     "15:2",
                     "20=lf/0", "21=lh/0", "23=pw/0", "27=pp/0", "28:3128", "29=ps/0",      "30=pu/0",     "31=r/0",
                     "34:5",    "37=u/0",  "42=us/0", "6=text/xml/0", "24=a\0b/3"s, "39:8080"}));

  core.texts = {{1, "acc"}, {37, "url"}, {35, "r\0ply"s}};
  core.numbers = {{4, 1}, {18, 0}, {34, 340}};
  EXPECT_EQ(c.GetAccept(), "acc");
  EXPECT_EQ(c.GetURL(), "url");
  EXPECT_EQ(c.GetReplyBody(), "r\0ply"s);
  EXPECT_EQ(c.GetAuthScheme(), TnxhttpAuthSchemes::authDigest);
  EXPECT_EQ(c.GetTimeout(), 340);
  EXPECT_FALSE(c.GetIdle());
  EXPECT_EQ(c.GetAbout(), 0);
  for (const auto& get : core.CallsTo("Get")) EXPECT_EQ(get.lengthPlace, get.number == 35) << get.number;
  EXPECT_FALSE(core.misuse);
}

TEST(NxComponentProperties, TnxsHTTPSUsesItsNumbers) {
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
            (Strings{"1=a/0",   "4:1",     "10=fh/0", "11=fp/0", "12:1080", "13:3",         "14=fu/0",     "15:2",
                     "20=lf/0", "21=lh/0", "23=pw/0", "27=pp/0", "28:3128", "29=ps/0",      "31=pu/0",     "32=r/0",
                     "43:5",    "46=u/0",  "51=us/0", "6=text/xml/0", "24=a\0b/3"s, "30:3", "34=c\0rt/4"s,
                     "36=MY/2", "37=sp/0", "38:3",    "39=ss/0"}));

  core.texts = {{40, "c\0rt"s}, {41, "OK"}, {44, "reply"}, {36, "MY"}};
  core.numbers = {{30, 2}, {38, 1}, {43, 430}};
  EXPECT_EQ(c.GetSSLServerCert(), "c\0rt"s);
  EXPECT_EQ(c.GetSSLServerCertStatus(), "OK");
  EXPECT_EQ(c.GetReplyBody(), "reply");
  EXPECT_EQ(c.GetSSLCertStore(), "MY");
  EXPECT_EQ(c.GetProxySSL(), TnxshttpsProxySSLs::psNever);
  EXPECT_EQ(c.GetSSLCertStoreType(), TnxshttpsSSLCertStoreTypes::sstMachine);
  EXPECT_EQ(c.GetTimeout(), 430);
}

TEST(NxComponentMethods, CallDoByNumberAndRaiseTheCoresLastError) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  {
    TnxsHTTPS c;
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
    core.setResult = 12;
    EXPECT_EQ(Raised<ENetXferSSL>([&] { c.SetURL("x"); }, 12), "The core says no: 12");
    core.doResult = 7;
    core.lastError = "Connection refused";
    EXPECT_EQ(Raised<EnxsHTTPS>([&] { c.PostTo("x"); }, 7), "Connection refused: 7");
    EXPECT_THROW(c.ClearState(), EnxsHTTPS);
    EXPECT_THROW(c.SetOption("MaxTransferredData=0"), EnxsHTTPS);
  }
  ASSERT_EQ(core.CallsTo("Destroy").size(), 1u);
  EXPECT_EQ(core.CallsTo("Destroy")[0].value, 42);
}

TEST(NxComponentMethods, EntryPointsThatAreNotLoadedMakeOperationsDoNothing) {
  FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
  {
    TnxHTTP c;
    core.calls.clear();
    platform::NetXferLibrary& library = platform::HttpLibrary();
    library.Set = nullptr;
    library.Get = nullptr;
    library.Do = nullptr;
    library.Destroy = nullptr;
    c.SetURL("u");
    EXPECT_EQ(c.GetURL(), "");
    EXPECT_EQ(c.GetTimeout(), 0);
    EXPECT_EQ(c.SetOption("MaxTransferredData=0"), "");
    c.PostTo("http://x/");
    c.ClearState();
  }
  EXPECT_TRUE(core.calls.empty());
}

TEST(NxComponentEvents, SslServerAuthenticationWritesAcceptBackAsOneOrZero) {
  FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
  TnxsHTTPS c;
  std::string der = "\x30\0\x01"s, subject = "CN=server", issuer = "CN=ca", status = "self-signed certificate";
  Strings seen;
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
  EXPECT_EQ(seen, (Strings{der, subject, issuer, status, "true"}));
  verdict = true;
  EXPECT_EQ(fire(0x100), 1);  // only the lowest byte counts: it came in false
  EXPECT_EQ(seen.back(), "false");

  // A handler that throws refuses, and nothing escapes into the core.
  c.OnSSLServerAuthentication = [](TnxsHTTPS&, const std::string&, const std::string&, const std::string&,
                                   const std::string&, bool&) { throw std::runtime_error("handler"); };
  EXPECT_EQ(fire(1), 0);
  c.OnSSLServerAuthentication = nullptr;  // no handler: the core's own verdict goes back
  EXPECT_EQ(fire(1), 1);
}

TEST(NxComponentEvents, EachNumberReachesItsEventAndOthersAreIgnored) {
  Strings raised;
  std::string oops = "oops", chunk = "a\0b"s;
  NxInt text = reinterpret_cast<NxInt>(oops.c_str());
  auto fire = [](FakeNetXferCore& core, NxInt event, std::vector<NxInt> argv, std::vector<NxInt> lengths) {
    EXPECT_EQ(core.Fire(event, argv, lengths), 0);
    return argv;
  };
  {
    FakeNetXferCore core(platform::HttpLibrary(), kHttpTexts);
    TnxHTTP c;
    c.OnError = [&](TnxHTTP&, int code, const std::string& s) { raised.push_back(std::to_string(code) + s); };
    c.OnStatus = [&](TnxHTTP&, const std::string&, int code, const std::string&) {
      raised.push_back("Status " + std::to_string(code));
    };
    c.OnTransfer = [&](TnxHTTP&, int, int bytes, const std::string& s) {
      raised.push_back("Transfer " + std::to_string(bytes) + s);
    };
    c.OnRedirect = [&](TnxHTTP&, const std::string& location, bool& accept) {
      raised.push_back("Redirect " + location);
      accept = false;
    };
    fire(core, 5, {12, text}, {0, 0});
    fire(core, 10, {text, 200, text}, {0, 0, 0});
    fire(core, 11, {1, 3, reinterpret_cast<NxInt>(chunk.data())}, {0, 0, 3});
    EXPECT_EQ(fire(core, 7, {text, 1}, {0, 0})[1], 0);
    fire(core, 12, {1, 2, 3}, {0, 0, 0});  // TnxHTTP knows no event 12
    fire(core, 4, {1}, {0});               // known, but no handler
  }
  {
    FakeNetXferCore core(platform::HttpsLibrary(), kHttpsTexts);
    TnxsHTTPS c;  // the SSL events move the last three up by two
    c.OnSSLStatus = [&](TnxsHTTPS&, const std::string& s) { raised.push_back("SSLStatus " + s); };
    c.OnStatus = [&](TnxsHTTPS&, const std::string&, int code, const std::string&) {
      raised.push_back("Status " + std::to_string(code));
    };
    fire(core, 10, {text}, {0});
    fire(core, 12, {text, 404, text}, {0, 0, 0});
    fire(core, 14, {text, 404, text}, {0, 0, 0});
  }
  EXPECT_EQ(raised, (Strings{"12oops", "Status 200", "Transfer 3a\0b"s, "Redirect oops", "SSLStatus oops",
                             "Status 404"}));
}

}  // namespace
}  // namespace vltg
