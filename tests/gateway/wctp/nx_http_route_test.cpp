// The way a core's post takes (firewalls, proxies, the local address) and the
// certificates it shows and trusts, over the real cores, against real proxies
// and SOCKS servers and local servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gateway/wctp/nx_http.h"
#include "gateway/wctp/nxs_https.h"
#include "platform/netxfer/netxfer_library.h"
#include "tests/gateway/wctp/nx_event_record.h"
#include "tests/support/dante_peer.h"
#include "tests/support/local_http_server.h"
#include "tests/support/microsocks_peer.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tinyproxy_peer.h"

namespace vltg {
namespace {

using namespace std::string_literals;
using testing::LocalHttpServer;
using vltg::test::PollUntil;
using Strings = std::vector<std::string>;
using Firewall = TnxshttpsFirewallTypes;
using ProxySsl = TnxshttpsProxySSLs;

class NxRoute : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { platform::LoadNetXferCores(); }
  static void TearDownTestSuite() { platform::UnloadNetXferCores(); }

  static const testing::TestCertificates& Certificates() {
    static const testing::TestCertificates certificates;
    return certificates;
  }

  // The test authority is the only one trusted.
  void SetUp() override {
    directory_.Write("ca.pem", Certificates().AuthorityPem());
    trust_.emplace("SSL_CERT_FILE", (directory_ / "ca.pem").string());
  }

  // Posts and returns the steps of the way and the outcome: "posted" or
  // "raised <message>".
  template <class Component>
  static Strings Post(Component& c, const std::string& url) {
    testing::NxEventRecord record;
    record.Watch(c);
    c.SetPostBody("<x/>");
    Strings steps;
    try {
      c.PostTo(url);
      steps.push_back("posted");
    } catch (const Exception& e) {
      steps.push_back("raised "s + e.what());
    }
    Strings out;
    for (const std::string& line : record.lines) {
      if (line.rfind("step ", 0) == 0) out.push_back(line.substr(5));
    }
    out.push_back(steps.back());
    return out;
  }

  static std::string At(const LocalHttpServer& server) { return "127.0.0.1:" + std::to_string(server.Port()); }

  testing::TempDir directory_;
  std::optional<testing::ScopedEnv> trust_;
};

TEST_F(NxRoute, EachFirewallKindCarriesThePost) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, {}});
  testing::TinyproxyPeer tunnel({"fw", "tunnel-pw"});
  testing::MicrosocksPeer socks5({"fw", "socks pw"});
  testing::DantePeer socks4;
  const struct {
    const char* name;
    Firewall type;
    int port;
    std::string user, password;
    std::function<Strings()> relayed;  // what the firewall says it carried
    std::string relayedWant;
  } rows[] = {
      {"an HTTP tunnel with a logon", Firewall::fwTunnel, tunnel.Port(), "fw", "tunnel-pw",
       [&] { return tunnel.Requests(); }, "CONNECT " + At(server) + " HTTP/1.1"},
      {"SOCKS5 with a user and password", Firewall::fwSOCKS5, socks5.Port(), "fw", "socks pw",
       [&] { return socks5.Connections(); }, At(server)},
      {"SOCKS4 with a user id", Firewall::fwSOCKS4, socks4.Port(), "gateway", "",
       [&] { return socks4.Connections(); }, At(server)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TnxHTTP http;
    http.SetFirewallType(static_cast<TnxhttpFirewallTypes>(row.type));
    http.SetFirewallHost("127.0.0.1");
    http.SetFirewallPort(row.port);
    http.SetFirewallUser(row.user);
    http.SetFirewallPassword(row.password);
    EXPECT_EQ(Post(http, server.Url("/wctp")),
              (Strings{"Firewall connection complete", "Remote host connection complete", "posted"}));
    EXPECT_TRUE(PollUntil([&] { return !row.relayed().empty(); }));
    EXPECT_EQ(row.relayed(), Strings{row.relayedWant});
  }
  EXPECT_EQ(server.Requests().size(), 3u);

  // A SOCKS5 firewall that refuses the logon ends the post before the server.
  TnxHTTP http;
  http.SetFirewallType(TnxhttpFirewallTypes::fwSOCKS5);
  http.SetFirewallHost("127.0.0.1");
  http.SetFirewallPort(socks5.Port());
  http.SetFirewallUser("fw");
  http.SetFirewallPassword("wrong");
  const std::string refused = Post(http, server.Url()).back();
  EXPECT_EQ(refused.rfind("raised ", 0), 0u) << refused;
  EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(NxRoute, AProxyStandsBehindASocksFirewallWithItsOwnLogon) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, {}});
  testing::MicrosocksPeer firewall({"fw", "socks pw"});
  testing::TinyproxyPeer proxy({"px", "proxy-pw"});
  LocalHttpServer lookingProxy({LocalHttpServer::Reply("200 OK", "<ok/>"), false, {}});
  auto behind = [&](TnxsHTTPS& https, int proxyPort, const std::string& proxyUser) {
    https.SetFirewallType(Firewall::fwSOCKS5);
    https.SetFirewallHost("127.0.0.1");
    https.SetFirewallPort(firewall.Port());
    https.SetFirewallUser("fw");
    https.SetFirewallPassword("socks pw");
    https.SetProxyServer("127.0.0.1");
    https.SetProxyPort(proxyPort);
    https.SetProxyUser(proxyUser);
    https.SetProxyPassword(proxyUser.empty() ? "" : "proxy-pw");
  };
  TnxsHTTPS https;
  behind(https, proxy.Port(), "px");
  EXPECT_EQ(Post(https, server.Url("/wctp")),
            (Strings{"Firewall connection complete", "Proxy connection complete", "Remote host connection complete",
                     "posted"}));
  ASSERT_TRUE(PollUntil([&] { return !firewall.Connections().empty() && !proxy.Requests().empty(); }));
  EXPECT_EQ(firewall.Connections(), Strings{"127.0.0.1:" + std::to_string(proxy.Port())});
  EXPECT_EQ(proxy.Requests(), Strings{"POST " + server.Url("/wctp") + " HTTP/1.1"});

  // A proxy without a logon is given none, and never the firewall's.
  TnxsHTTPS plain;
  behind(plain, lookingProxy.Port(), "");
  EXPECT_EQ(Post(plain, server.Url("/plain")).back(), "posted");
  ASSERT_EQ(lookingProxy.Requests().size(), 1u);
  EXPECT_EQ(lookingProxy.Requests()[0].rfind("POST " + server.Url("/plain"), 0), 0u);
  EXPECT_EQ(lookingProxy.Requests()[0].find("Proxy-Authorization"), std::string::npos) << lookingProxy.Requests()[0];

  // What libcurl cannot carry out is refused by name.
  TnxsHTTPS tunnelFirst;
  behind(tunnelFirst, proxy.Port(), "px");
  tunnelFirst.SetFirewallType(Firewall::fwTunnel);
  EXPECT_EQ(Post(tunnelFirst, server.Url()).back(),
            "raised FirewallType: only a SOCKS firewall can stand before a proxy, not a tunnel: 103");
  TnxHTTP socks4;
  socks4.SetFirewallType(TnxhttpFirewallTypes::fwSOCKS4);
  socks4.SetFirewallHost("127.0.0.1");
  socks4.SetFirewallPassword("pw");
  EXPECT_EQ(Post(socks4, server.Url()).back(), "raised FirewallPassword: a SOCKS4 firewall takes no password: 103");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(NxRoute, ProxySslChoosesHowTheProxyIsSpokenTo) {
  LocalHttpServer plain({LocalHttpServer::Reply("200 OK", "<ok/>"), false, {}});
  LocalHttpServer secure({LocalHttpServer::Reply("200 OK", "<ok/>"), false, Certificates().Trusted()});
  testing::TinyproxyPeer proxy;
  const struct {
    ProxySsl mode;
    const LocalHttpServer& server;
    std::string proxied;  // the request line the proxy read, else the refusal
  } rows[] = {
      {ProxySsl::psAutomatic, plain, "POST " + plain.Url("/") + " HTTP/1.1"},
      {ProxySsl::psAutomatic, secure, "CONNECT " + At(secure) + " HTTP/1.1"},
      {ProxySsl::psTunnel, plain, "CONNECT " + At(plain) + " HTTP/1.1"},
      {ProxySsl::psNever, plain, "POST " + plain.Url("/") + " HTTP/1.1"},
      {ProxySsl::psNever, secure,
       "raised ProxySSL: psNever hands the request to the proxy as it is, and an https URL cannot go so: 103"},
  };
  size_t seen = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.mode));
    SCOPED_TRACE(row.server.Url());
    TnxsHTTPS https;
    https.SetProxyServer("127.0.0.1");
    https.SetProxyPort(proxy.Port());
    https.SetProxySSL(row.mode);
    const std::string outcome = Post(https, row.server.Url()).back();
    if (row.proxied.rfind("raised ", 0) == 0) {
      EXPECT_EQ(outcome, row.proxied);
      continue;
    }
    EXPECT_EQ(outcome, "posted");
    ASSERT_TRUE(PollUntil([&] { return proxy.Requests().size() > seen; }));
    EXPECT_EQ(proxy.Requests().back(), row.proxied);
    seen = proxy.Requests().size();
  }

  // psAlways speaks TLS to the proxy, then through its tunnel to the server.
  LocalHttpServer tlsProxy({"", false, Certificates().Trusted(), 0, nullptr, "", true});
  TnxsHTTPS https;
  https.SetProxyServer("127.0.0.1");
  https.SetProxyPort(tlsProxy.Port());
  https.SetProxySSL(ProxySsl::psAlways);
  Strings checked;
  https.OnSSLServerAuthentication = [&](TnxsHTTPS&, const std::string&, const std::string& subject,
                                        const std::string&, const std::string& status, bool&) {
    checked.push_back(status + " " + subject);
  };
  EXPECT_EQ(Post(https, secure.Url("/wctp")),
            (Strings{"SSL handshake complete", "Proxy tunnel complete", "SSL handshake complete",
                     "Remote host connection complete", "posted"}));
  EXPECT_EQ(checked, (Strings{"OK CN=127.0.0.1,O=vltg tests", "OK CN=127.0.0.1,O=vltg tests"}));
  ASSERT_EQ(tlsProxy.Requests().size(), 1u);
  EXPECT_EQ(tlsProxy.Requests()[0].rfind("CONNECT " + At(secure) + " HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(secure.Requests().size(), 2u);
}

TEST_F(NxRoute, LocalHostIsWhereTheConnectionIsMadeFrom) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, {}});
  TnxHTTP http;
  EXPECT_EQ(http.GetLocalHost(), "");
  EXPECT_EQ(Post(http, server.Url()).back(), "posted");
  EXPECT_EQ(http.GetLocalHost(), "127.0.0.1");  // what the library had
  http.SetLocalHost("127.0.0.2");
  EXPECT_EQ(Post(http, server.Url()).back(), "posted");
  EXPECT_EQ(http.GetLocalHost(), "127.0.0.2");
  const auto requests = server.ReceivedRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].connection.peer_address, "127.0.0.1");
  EXPECT_EQ(requests[1].connection.peer_address, "127.0.0.2");

  http.SetLocalHost("192.0.2.1");  // no address of this machine
  const std::string refused = Post(http, server.Url()).back();
  EXPECT_EQ(refused.rfind("raised LocalHost: ", 0), 0u) << refused;
}

TEST_F(NxRoute, TheClientCertificateComesFromItsStore) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, Certificates().Trusted(), 0, nullptr,
                          Certificates().AuthorityPem()});
  const std::string one = testing::Pkcs12(Certificates().Client("gateway one"), "pw one");
  const std::string two = testing::Pkcs12(Certificates().Client("gateway two"), "pw two");
  testing::TempDir home, root;
  directory_.Write("one.p12", one);
  for (const auto& [dir, name, bytes] : {std::tuple{&home, "a.p12", one}, {&root, "a.pfx", two},
                                         {&root, "b.p12", one}}) {
    std::filesystem::create_directories(*dir / ".vltg" / "certstores" / "MY");
    std::filesystem::create_directories(*dir / "certstores" / "MY");
    dir->Write(std::string(dir == &home ? ".vltg/" : "") + "certstores/MY/" + name, bytes);
  }
  testing::ScopedEnv homeEnv("HOME", home.Path().string()), rootEnv("VLTG_ROOT", root.Path().string());

  using Store = TnxshttpsSSLCertStoreTypes;
  const struct {
    const char* name;
    Store type;
    std::string store, password, subject;
    std::string shown;  // the subject the server saw, else the refusal
  } rows[] = {
      {"a PKCS#12 file", Store::sstPFXFile, (directory_ / "one.p12").string(), "pw one", "*",
       "CN=gateway one,O=vltg tests"},
      {"PKCS#12 bytes", Store::sstPFXBlob, two, "pw two", "gateway two", "CN=gateway two,O=vltg tests"},
      {"the machine store by subject", Store::sstMachine, "MY", "pw one", "CN=Gateway One,O=vltg tests",
       "CN=gateway one,O=vltg tests"},
      {"the machine store, first that opens", Store::sstMachine, "MY", "pw two", "*",
       "CN=gateway two,O=vltg tests"},
      {"the user's store", Store::sstUser, "MY", "pw one", "gateway one", "CN=gateway one,O=vltg tests"},
      {"a wrong password", Store::sstPFXBlob, two, "pw one", "*",
       "raised SSLCertStorePassword: the PKCS#12 bytes does not open with it: 103"},
      {"no such subject", Store::sstMachine, "MY", "pw one", "gateway three",
       "raised SSLCertSubject: no certificate \"gateway three\" in the store (1 files do not open with "
       "SSLCertStorePassword): 103"},
      {"no such store", Store::sstUser, "../MY", "", "*", "raised SSLCertStore: \"../MY\" is no store name: 103"},
  };
  size_t served = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TnxsHTTPS https;
    https.SetSSLCertStoreType(row.type);
    https.SetSSLCertStore(row.store);
    https.SetSSLCertStorePassword(row.password);
    https.SetSSLCertSubject(row.subject);
    const std::string outcome = Post(https, server.Url()).back();
    if (row.shown.rfind("raised ", 0) == 0) {
      EXPECT_EQ(outcome, row.shown);
      continue;
    }
    EXPECT_EQ(outcome, "posted");
    const auto requests = server.ReceivedRequests();
    ASSERT_EQ(requests.size(), ++served);
    EXPECT_EQ(requests.back().connection.client_certificate, row.shown);
  }
  // An empty subject shows none, and this server takes no one without.
  TnxsHTTPS none;
  none.SetSSLCertStoreType(Store::sstPFXBlob);
  none.SetSSLCertStore(one);
  none.SetSSLCertStorePassword("pw one");
  EXPECT_EQ(Post(none, server.Url()).back().rfind("raised ", 0), 0u);
  EXPECT_EQ(server.Requests().size(), served);
}

}  // namespace
}  // namespace vltg
