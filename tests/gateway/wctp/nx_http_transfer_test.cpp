// The components over the real cores, loaded from this program as the gateway
// loads them, against local HTTP and HTTPS servers on 127.0.0.1.
#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "gateway/wctp/nx_http.h"
#include "gateway/wctp/nxs_https.h"
#include "platform/netxfer/netxfer_library.h"
#include "tests/support/local_http_server.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace vltg {
namespace {

using namespace std::string_literals;
using testing::LocalHttpServer;
using Strings = std::vector<std::string>;

LocalHttpServer::Options Answering(const std::string& status, const std::string& body,
                                   std::optional<testing::PemIdentity> tls = {}) {
  return {LocalHttpServer::Reply(status, body), false, std::move(tls)};
}

class NxTransfer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { platform::LoadNetXferCores(); }
  static void TearDownTestSuite() { platform::UnloadNetXferCores(); }

  // Sets the component up as the WCTP client does, posts, and returns what
  // happened in order: "error <code> <text>", then "raised <message>" or "posted".
  template <class Component>
  static Strings Post(Component& c, const std::string& url, const std::string& body = "<x/>", int timeout = 5) {
    Strings seen;
    c.OnError = [&](Component&, int code, const std::string& text) {
      seen.push_back("error " + std::to_string(code) + " " + text);
    };
    c.SetURL(url);
    c.ClearState();
    c.SetTimeout(timeout);
    c.SetPostContentType("text/xml");
    EXPECT_EQ(c.SetOption("MaxTransferredData=0"), "0");
    c.SetLocalFile("");
    c.SetPostBody(body);
    try {
      c.PostTo(url);
      seen.push_back("posted");
    } catch (const Exception& e) {
      seen.push_back("raised "s + e.what());
    }
    c.OnError = nullptr;
    return seen;
  }
};

TEST_F(NxTransfer, PostsTheBodyWithItsHeadersAndKeepsTheReplyWhole) {
  const std::string reply = "<ok/>\0tail"s, body = "<wctp>\0</wctp>"s;
  LocalHttpServer server(Answering("200 OK", reply));
  TnxHTTP http;
  Strings events;
  http.OnStatus = [&](TnxHTTP&, const std::string& version, int code, const std::string& reason) {
    events.push_back(version + " " + std::to_string(code) + " " + reason);
  };
  http.OnHeader = [&](TnxHTTP&, const std::string& field, const std::string& value) {
    if (field == "Content-Type") events.push_back(field + ": " + value);
  };
  EXPECT_EQ(Post(http, server.Url("/wctp"), body), Strings{"posted"});
  EXPECT_EQ(http.GetReplyBody(), reply);
  EXPECT_EQ(events, (Strings{"HTTP/1.1 200 OK", "Content-Type: text/xml"}));
  EXPECT_TRUE(http.GetIdle());

  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.rfind("POST /wctp HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nContent-Type: text/xml\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nContent-Length: 14\r\n"), std::string::npos);
  EXPECT_EQ(request.find("Expect:"), std::string::npos);
  EXPECT_EQ(request.substr(request.size() - body.size()), body);
}

TEST_F(NxTransfer, FailuresRaiseTheErrorEventBeforeTheException) {
  LocalHttpServer failing(Answering("500 Internal Server Error", "<oops/>"));
  TnxHTTP http;
  EXPECT_EQ(Post(http, failing.Url()), (Strings{"error 100 HTTP protocol error. 500 Internal Server Error",
                                                "raised HTTP protocol error. 500 Internal Server Error: 100"}));
  EXPECT_EQ(http.GetReplyBody(), "<oops/>");

  // Nobody listens.
  Strings seen = Post(http, "http://127.0.0.1:" + std::to_string(testing::UnusedLocalPort()) + "/");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("error 7 ", 0), 0u) << seen[0];
  EXPECT_EQ(seen[1], "raised " + seen[0].substr(8) + ": 7");

  // The HTTP core speaks plain HTTP only.
  seen = Post(http, "https://127.0.0.1:1/");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("error 1 ", 0), 0u) << seen[0];

  // A silent server is given up after Timeout seconds.
  LocalHttpServer silent({"", true, {}});
  auto start = std::chrono::steady_clock::now();
  seen = Post(http, silent.Url(), "<x/>", 1);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 4.0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("error 28 ", 0), 0u) << seen[0];
  EXPECT_EQ(silent.Requests().size(), 1u);
}

TEST_F(NxTransfer, ServerPortProxyAndRedirectsChooseWhereThePostGoes) {
  LocalHttpServer server(Answering("200 OK", "<ok/>"));
  TnxHTTP http;
  http.SetServerPort(server.Port());  // stands in for the port the URL does not give
  EXPECT_EQ(Post(http, "http://127.0.0.1/direct"), Strings{"posted"});

  TnxsHTTPS https;  // through a proxy, the request names the whole URL
  https.SetProxyServer("127.0.0.1");
  https.SetProxyPort(server.Port());
  https.SetProxyUser("user");
  https.SetProxyPassword("secret");
  EXPECT_EQ(Post(https, "http://wctp.example/proxied"), Strings{"posted"});

  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[0].rfind("POST /direct HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(server.Requests()[1].rfind("POST http://wctp.example/proxied HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(server.Requests()[1].find("\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos);

  LocalHttpServer mover({"HTTP/1.1 302 Found\r\nLocation: " + server.Url("/new") +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                         false, {}});
  EXPECT_EQ(Post(http, mover.Url()), (Strings{"error 100 HTTP protocol error. 302 Found",
                                              "raised HTTP protocol error. 302 Found: 100"}));
  http.SetFollowRedirects(TnxhttpFollowRedirects::frAlways);
  EXPECT_EQ(Post(http, mover.Url()), Strings{"posted"});
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Requests()[2].rfind("POST /new HTTP/1.1\r\n", 0), 0u);
}

TEST_F(NxTransfer, AFreshComponentReadsTheCreationValuesAndOptionsAreChecked) {
  TnxsHTTPS https;
  EXPECT_EQ(https.GetTimeout(), 60);
  EXPECT_EQ(https.GetProxyPort(), 80);
  EXPECT_EQ(https.GetSSLCertStore(), "MY");
  EXPECT_EQ(https.GetSSLCertStoreType(), TnxshttpsSSLCertStoreTypes::sstUser);
  EXPECT_EQ(https.GetURL(), "");
  EXPECT_TRUE(https.GetIdle());

  TnxHTTP http;
  EXPECT_THROW(http.SetFirewallType(static_cast<TnxhttpFirewallTypes>(9)), EnxHTTP);
  try {
    http.SetOption("Unheard=1");
    ADD_FAILURE() << "an unknown option was taken";
  } catch (const EnxHTTP& e) {
    EXPECT_STREQ(e.what(), "Unknown option: Unheard: 106");
  }
  LocalHttpServer server(Answering("200 OK", "0123456789"));
  EXPECT_EQ(http.SetOption("MaxTransferredData=4"), "4");  // keeps the first bytes only
  http.PostTo(server.Url());
  EXPECT_EQ(http.GetReplyBody(), "0123");
}

class NxHttpsTransfer : public NxTransfer {
 protected:
  static const testing::TestCertificates& Certificates() {
    static const testing::TestCertificates certificates;  // made once
    return certificates;
  }

  // The test authority is the only one trusted.
  void SetUp() override {
    directory_.Write("ca.pem", Certificates().AuthorityPem());
    trust_.emplace("SSL_CERT_FILE", (directory_ / "ca.pem").string());
  }

  // Records the server-authentication event as "status subject issuer accept";
  // the handler answers `verdict`, or leaves Accept as it came.
  static void Watch(TnxsHTTPS& https, std::string& seen, std::string& der, std::optional<bool> verdict) {
    https.OnSSLServerAuthentication = [&seen, &der, verdict](TnxsHTTPS&, const std::string& cert,
                                                             const std::string& subject, const std::string& issuer,
                                                             const std::string& status, bool& accept) {
      seen = status + " | " + subject + " | " + issuer + " | " + (accept ? "accept" : "refuse");
      der = cert;
      if (verdict) accept = *verdict;
    };
  }

  testing::TempDir directory_;
  std::optional<testing::ScopedEnv> trust_;
};

TEST_F(NxHttpsTransfer, ATrustedServerIsReportedOkAndPostedTo) {
  LocalHttpServer server(Answering("200 OK", "<ok/>", Certificates().Trusted()));
  TnxsHTTPS https;
  std::string seen, der;
  Watch(https, seen, der, std::nullopt);
  EXPECT_EQ(Post(https, server.Url("/wctp")), Strings{"posted"});
  EXPECT_EQ(seen, "OK | CN=127.0.0.1,O=vltg tests | CN=vltg test authority,O=vltg tests | accept");
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(der.data());
  X509* parsed = d2i_X509(nullptr, &bytes, static_cast<long>(der.size()));
  EXPECT_NE(parsed, nullptr);
  X509_free(parsed);
  EXPECT_EQ(https.GetSSLServerCert(), der);
  EXPECT_EQ(https.GetSSLServerCertStatus(), "OK");
  EXPECT_EQ(https.GetReplyBody(), "<ok/>");
}

TEST_F(NxHttpsTransfer, AnUntrustedServerFailsUnlessTheHandlerAccepts) {
  LocalHttpServer server(Answering("200 OK", "<ok/>", Certificates().SelfSigned()));
  const std::string selfSigned = X509_verify_cert_error_string(X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT);
  std::string seen, der;
  TnxsHTTPS https;  // no handler: the core's verdict stands
  EXPECT_EQ(Post(https, server.Url()), (Strings{"error 60 SSL certificate problem: " + selfSigned,
                                                "raised SSL certificate problem: " + selfSigned + ": 60"}));
  EXPECT_EQ(https.GetSSLServerCertStatus(), selfSigned);

  Watch(https, seen, der, std::nullopt);  // a handler that leaves Accept as it came
  EXPECT_EQ(Post(https, server.Url()).size(), 2u);
  EXPECT_EQ(seen.substr(0, selfSigned.size()), selfSigned);
  EXPECT_EQ(seen.substr(seen.size() - 6), "refuse");
  EXPECT_TRUE(server.Requests().empty());

  Watch(https, seen, der, true);  // a handler that accepts
  EXPECT_EQ(Post(https, server.Url()), Strings{"posted"});
  EXPECT_EQ(https.GetReplyBody(), "<ok/>");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(NxHttpsTransfer, TheHostIsCheckedAndTheHandlerCanRefuseATrustedServer) {
  LocalHttpServer other(Answering("200 OK", "<ok/>", Certificates().OtherHost()));
  TnxsHTTPS https;
  std::string seen, der;
  Watch(https, seen, der, std::nullopt);
  EXPECT_EQ(Post(https, other.Url()).size(), 2u);
  EXPECT_EQ(seen.substr(0, seen.find(" | ")), X509_verify_cert_error_string(X509_V_ERR_IP_ADDRESS_MISMATCH));

  LocalHttpServer trusted(Answering("200 OK", "<ok/>", Certificates().Trusted()));
  Watch(https, seen, der, false);
  Strings result = Post(https, trusted.Url());
  EXPECT_EQ(seen.substr(0, 3), "OK ");
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[1].rfind("raised ", 0), 0u);
  EXPECT_TRUE(trusted.Requests().empty());
}

}  // namespace
}  // namespace vltg
