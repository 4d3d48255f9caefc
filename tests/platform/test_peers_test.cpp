// The proxies and servers the HTTP cores' tests run against, driven by libcurl
// as the cores drive it: each starts, relays, refuses a client without its
// credentials, and shows in its log what went through it. A failure here says
// the peer itself is broken or missing (scripts/setup installs the programs).
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/dante_peer.h"
#include "tests/support/http_digest.h"
#include "tests/support/http_message.h"
#include "tests/support/local_http_server.h"
#include "tests/support/microsocks_peer.h"
#include "tests/support/pump_until.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tinyproxy_peer.h"

namespace vltg::testing {
namespace {

using Strings = std::vector<std::string>;
using vltg::test::PollUntil;

struct Fetched {
  CURLcode code = CURLE_OK;
  long status = 0;  // the server's, or a refused CONNECT's
  std::string body;
};

size_t Keep(char* bytes, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(bytes, size * count);
  return size * count;
}

// POSTs "<wctp/>" to `url` with the options `setup` gives.
Fetched Post(const std::string& url, const std::function<void(CURL*)>& setup = {}) {
  CURL* curl = curl_easy_init();
  Fetched fetched;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "<wctp/>");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Keep);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetched.body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
  if (setup) setup(curl);
  fetched.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &fetched.status);
  if (fetched.status == 0) curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &fetched.status);
  curl_easy_cleanup(curl);
  return fetched;
}

std::function<void(CURL*)> Through(const std::string& proxy, const std::string& from = "") {
  return [=](CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    if (!from.empty()) curl_easy_setopt(curl, CURLOPT_INTERFACE, from.c_str());
  };
}

LocalHttpServer::Options Answering(const std::string& body) {
  return {LocalHttpServer::Reply("200 OK", body), false, {}};
}

TEST(TestPeers, TinyproxyForwardsAndTunnelsForItsUserOnly) {
  LocalHttpServer target(Answering("<ok/>"));
  TinyproxyPeer proxy({"alice", "s3cret"});
  const std::string at = "127.0.0.1:" + std::to_string(target.Port());
  auto withUser = [&](bool tunnel) {
    return [&, tunnel](CURL* curl) {
      Through(proxy.Url())(curl);
      curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, "alice:s3cret");
      curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, tunnel ? 1L : 0L);
    };
  };
  EXPECT_EQ(Post(target.Url("/forwarded"), withUser(false)).body, "<ok/>");
  EXPECT_EQ(Post(target.Url("/tunnelled"), withUser(true)).body, "<ok/>");
  const Fetched refused = Post(target.Url("/refused"), [&](CURL* curl) {
    Through(proxy.Url())(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);
  });
  EXPECT_EQ(refused.status, 407);

  EXPECT_EQ(proxy.Requests(), (Strings{"POST http://" + at + "/forwarded HTTP/1.1", "CONNECT " + at + " HTTP/1.1",
                                       "CONNECT " + at + " HTTP/1.1"}));
  EXPECT_EQ(proxy.Connections(), (Strings{at, at}));
  ASSERT_EQ(target.Requests().size(), 2u);
  EXPECT_EQ(HeaderField(target.Requests()[0], "Via").value_or("").rfind("1.1 tinyproxy (", 0), 0u);
  EXPECT_EQ(RequestTarget(target.Requests()[1]), "/tunnelled");
}

TEST(TestPeers, MicrosocksRelaysForItsUserAndResolvesNames) {
  LocalHttpServer target(Answering("<ok/>"));
  MicrosocksPeer socks({"bob", "pw"});
  const std::string port = std::to_string(target.Port()), at = "127.0.0.1:" + std::to_string(socks.Port());
  EXPECT_EQ(Post("http://localhost:" + port + "/", Through("socks5h://bob:pw@" + at)).body, "<ok/>");
  EXPECT_EQ(Post("http://127.0.0.1:" + port + "/", Through("socks5://bob:pw@" + at, "127.0.0.2")).body, "<ok/>");
  EXPECT_EQ(Post(target.Url(), Through("socks5://" + at)).code, CURLE_PROXY);

  ASSERT_TRUE(PollUntil([&] { return socks.Connections().size() == 2; })) << socks.Log();
  EXPECT_EQ(socks.Connections(), (Strings{"localhost:" + port, "127.0.0.1:" + port}));
  EXPECT_EQ(socks.Clients(), (Strings{"127.0.0.1", "127.0.0.2"}));
  EXPECT_EQ(target.Requests().size(), 2u);
}

TEST(TestPeers, DanteRelaysSocks4WithAddressesOnly) {
  LocalHttpServer target(Answering("<ok/>"));
  DantePeer socks;
  const std::string at = "127.0.0.1:" + std::to_string(socks.Port());
  EXPECT_EQ(Post(target.Url(), Through("socks4://" + at, "127.0.0.2")).body, "<ok/>");
  EXPECT_EQ(Post(target.Url(), Through("socks4a://" + at)).code, CURLE_PROXY);  // no host names
  EXPECT_EQ(Post(target.Url(), Through("socks5://" + at)).code, CURLE_PROXY);   // SOCKS4 only

  ASSERT_TRUE(PollUntil([&] { return socks.Connections().size() == 1; })) << socks.Log();
  EXPECT_EQ(socks.Connections(), Strings{"127.0.0.1:" + std::to_string(target.Port())});
  EXPECT_EQ(socks.Clients(), Strings{"127.0.0.2"});
  EXPECT_EQ(target.Requests().size(), 1u);
}

// curl's digest POST: an empty probe, the 401, then the body with its answer;
// on a new connection after "Connection: close", on the same one otherwise.
TEST(TestPeers, TheLocalServerPlaysDigestAuthenticationOnNewOrKeptConnections) {
  for (const bool close : {true, false}) {
    SCOPED_TRACE(close ? "Connection: close" : "kept connection");
    LocalHttpServer::Options options;
    options.answer = [close](const std::string& request, const LocalHttpServer::Connection&) {
      const std::string ending = close ? "Connection: close\r\n\r\n" : "\r\n";
      if (DigestAuthorized(request, "carol", "pa ss", "wctp", "n0nce")) {
        return "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n" + ending + "<ok/>";
      }
      return "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: " + DigestChallenge("wctp", "n0nce") +
             "\r\nContent-Length: 0\r\n" + ending;
    };
    LocalHttpServer server(options);
    auto as = [](const char* password) {
      return [password](CURL* curl) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(curl, CURLOPT_USERNAME, "carol");
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password);
      };
    };
    EXPECT_EQ(Post(server.Url("/wctp?id=1"), as("pa ss")).body, "<ok/>");
    EXPECT_EQ(Post(server.Url("/wctp"), as("wrong")).status, 401);

    const auto received = server.ReceivedRequests();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(MessageBody(received[0].bytes), "");
    EXPECT_EQ(MessageBody(received[1].bytes), "<wctp/>");
    EXPECT_EQ(received[1].connection.number, close ? 2 : 1);
    EXPECT_EQ(HeaderField(received[1].bytes, "Authorization").value_or("").rfind("Digest username=\"carol\"", 0), 0u);
  }
}

// An HTTPS proxy (the local server over TLS) tunnels to an HTTPS server that
// takes only clients with a certificate from the test authority, here from a
// PKCS#12 file, and tells which certificate came and from which address.
TEST(TestPeers, TheLocalServerTunnelsAsAnHttpsProxyAndTellsTheClientCertificate) {
  const TestCertificates certificates;
  TempDir dir;
  dir.Write("ca.pem", certificates.AuthorityPem());
  dir.Write("client.p12", Pkcs12(certificates.Client("gateway one"), "p12 secret"));
  LocalHttpServer::Options options = Answering("<ok/>");
  options.tls = certificates.Trusted();
  options.client_authority = certificates.AuthorityPem();
  LocalHttpServer server(options);
  LocalHttpServer proxy({"", false, certificates.Trusted(), 0, {}, "", true});

  auto trusting = [&](CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, (dir / "ca.pem").c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY_CAINFO, (dir / "ca.pem").c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, ("https://127.0.0.1:" + std::to_string(proxy.Port())).c_str());
    curl_easy_setopt(curl, CURLOPT_INTERFACE, "127.0.0.2");
  };
  EXPECT_NE(Post(server.Url("/none"), trusting).code, CURLE_OK);
  const Fetched fetched = Post(server.Url("/wctp"), [&](CURL* curl) {
    trusting(curl);
    curl_easy_setopt(curl, CURLOPT_SSLCERT, (dir / "client.p12").c_str());
    curl_easy_setopt(curl, CURLOPT_SSLCERTTYPE, "P12");
    curl_easy_setopt(curl, CURLOPT_KEYPASSWD, "p12 secret");
  });
  EXPECT_EQ(fetched.code, CURLE_OK);
  EXPECT_EQ(fetched.body, "<ok/>");

  const auto received = server.ReceivedRequests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(RequestTarget(received[0].bytes), "/wctp");
  EXPECT_EQ(received[0].connection.client_certificate, "CN=gateway one,O=vltg tests");
  const auto tunnels = proxy.ReceivedRequests();
  ASSERT_EQ(tunnels.size(), 2u);
  EXPECT_EQ(RequestMethod(tunnels[1].bytes) + " " + RequestTarget(tunnels[1].bytes),
            "CONNECT 127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(tunnels[1].connection.peer_address, "127.0.0.2");
}

}  // namespace
}  // namespace vltg::testing
