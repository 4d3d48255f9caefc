// The components over the real cores, loaded from this program as the gateway
// loads them, against local HTTP and HTTPS servers on 127.0.0.1.
#include <gtest/gtest.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "gateway/wctp/nx_http.h"
#include "gateway/wctp/nxs_https.h"
#include "platform/netxfer/netxfer_library.h"
#include "tests/support/local_http_server.h"
#include "tests/support/test_certificates.h"

namespace vltg {
namespace {

using namespace std::string_literals;
using test::LocalHttpServer;

class NxTransfer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { platform::LoadNetXferCores(); }
  static void TearDownTestSuite() { platform::UnloadNetXferCores(); }

  // The WCTP client's set-up of a component before its post.
  template <class Component>
  static void Prepare(Component& c, const std::string& url) {
    c.SetURL(url);
    c.ClearState();
    c.SetTimeout(5);
    c.SetPostContentType("text/xml");
    EXPECT_EQ(c.SetOption("MaxTransferredData=0"), "0");
    c.SetLocalFile("");
  }

  // Posts and returns what happened, in order: "error <code> <text>", then
  // "raised <message>" or "posted".
  template <class Component>
  static std::vector<std::string> Post(Component& c, const std::string& url, const std::string& body) {
    std::vector<std::string> seen;
    c.OnError = [&](Component&, int code, const std::string& text) {
      seen.push_back("error " + std::to_string(code) + " " + text);
    };
    c.SetPostBody(body);
    try {
      c.PostTo(url);
      seen.push_back("posted");
    } catch (const Exception& e) {
      seen.push_back("raised "s + e.what());
    }
    return seen;
  }
};

TEST_F(NxTransfer, PostsTheBodyWithItsHeadersAndKeepsTheReplyWhole) {
  const std::string reply = "<ok/>\0tail"s;
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", reply), false, {}});
  TnxHTTP http;
  std::vector<std::string> events;
  http.OnStatus = [&](TnxHTTP&, const std::string& version, int code, const std::string& reason) {
    events.push_back(version + " " + std::to_string(code) + " " + reason);
  };
  http.OnHeader = [&](TnxHTTP&, const std::string& field, const std::string& value) {
    if (field == "Content-Type") events.push_back(field + ": " + value);
  };
  Prepare(http, server.Url("/wctp"));
  const std::string body = "<wctp>\0</wctp>"s;
  EXPECT_EQ(Post(http, server.Url("/wctp"), body), std::vector<std::string>{"posted"});

  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.rfind("POST /wctp HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nContent-Type: text/xml\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nContent-Length: 14\r\n"), std::string::npos);
  EXPECT_EQ(request.find("Expect:"), std::string::npos);
  EXPECT_EQ(request.substr(request.size() - body.size()), body);
  EXPECT_EQ(http.GetReplyBody(), reply);
  EXPECT_EQ(events, (std::vector<std::string>{"HTTP/1.1 200 OK", "Content-Type: text/xml"}));
  EXPECT_EQ(http.GetURL(), server.Url("/wctp"));
  EXPECT_TRUE(http.GetIdle());
}

TEST_F(NxTransfer, AStatusOutside2xxFailsWithItsCodeAndReason) {
  LocalHttpServer server({LocalHttpServer::Reply("500 Internal Server Error", "<oops/>"), false, {}});
  TnxHTTP http;
  Prepare(http, server.Url());
  EXPECT_EQ(Post(http, server.Url(), "<x/>"),
            (std::vector<std::string>{"error 100 HTTP protocol error. 500 Internal Server Error",
                                      "raised HTTP protocol error. 500 Internal Server Error: 100"}));
  EXPECT_EQ(http.GetReplyBody(), "<oops/>");
}

TEST_F(NxTransfer, FailuresRaiseTheErrorEventBeforeTheException) {
  // Nobody listens.
  TnxHTTP http;
  std::string url = "http://127.0.0.1:" + std::to_string(test::UnusedLocalPort()) + "/";
  Prepare(http, url);
  std::vector<std::string> seen = Post(http, url, "<x/>");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("error 7 ", 0), 0u) << seen[0];
  EXPECT_EQ(seen[1], "raised " + seen[0].substr(8) + ": 7");

  // The HTTP core speaks plain HTTP only.
  seen = Post(http, "https://127.0.0.1:1/", "<x/>");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("error 1 ", 0), 0u) << seen[0];
  EXPECT_NE(seen[0].find("https"), std::string::npos) << seen[0];

  // A silent server is given up after Timeout seconds.
  LocalHttpServer silent({"", true, {}});
  http.SetTimeout(1);
  auto start = std::chrono::steady_clock::now();
  seen = Post(http, silent.Url(), "<x/>");
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 4.0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind("error 28 ", 0), 0u) << seen[0];
  EXPECT_EQ(silent.Requests().size(), 1u);
}

TEST_F(NxTransfer, ServerPortAndProxyChooseWhereThePostGoes) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, {}});
  TnxHTTP http;
  // ServerPort stands in for the port the URL does not give.
  http.SetServerPort(server.Port());
  Prepare(http, "http://127.0.0.1/direct");
  EXPECT_EQ(Post(http, "http://127.0.0.1/direct", "<x/>"), std::vector<std::string>{"posted"});

  // Through a proxy, the request goes to the proxy, naming the whole URL.
  TnxsHTTPS https;
  Prepare(https, "http://wctp.example/proxied");
  https.SetProxyServer("127.0.0.1");
  https.SetProxyPort(server.Port());
  https.SetProxyUser("user");
  https.SetProxyPassword("secret");
  EXPECT_EQ(Post(https, "http://wctp.example/proxied", "<x/>"), std::vector<std::string>{"posted"});

  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[0].rfind("POST /direct HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(server.Requests()[1].rfind("POST http://wctp.example/proxied HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(server.Requests()[1].find("\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos);
}

TEST_F(NxTransfer, RedirectsAreFollowedOnlyWhenFollowRedirectsAsks) {
  LocalHttpServer target({LocalHttpServer::Reply("200 OK", "<moved/>"), false, {}});
  LocalHttpServer mover({"HTTP/1.1 302 Found\r\nLocation: " + target.Url("/new") +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                         false, {}});
  TnxHTTP http;
  Prepare(http, mover.Url("/old"));
  EXPECT_EQ(Post(http, mover.Url("/old"), "<x/>"),
            (std::vector<std::string>{"error 100 HTTP protocol error. 302 Found",
                                      "raised HTTP protocol error. 302 Found: 100"}));
  EXPECT_TRUE(target.Requests().empty());

  http.SetFollowRedirects(TnxhttpFollowRedirects::frAlways);
  EXPECT_EQ(Post(http, mover.Url("/old"), "<x/>"), std::vector<std::string>{"posted"});
  EXPECT_EQ(http.GetReplyBody(), "<moved/>");
  ASSERT_EQ(target.Requests().size(), 1u);
  EXPECT_EQ(target.Requests()[0].rfind("POST /new HTTP/1.1\r\n", 0), 0u);
}

TEST_F(NxTransfer, AFreshComponentReadsTheCreationValuesAndSetOptionAnswers) {
  TnxsHTTPS https;
  EXPECT_EQ(https.GetTimeout(), 60);
  EXPECT_EQ(https.GetProxyPort(), 80);
  EXPECT_EQ(https.GetSSLCertStore(), "MY");
  EXPECT_EQ(https.GetSSLCertStoreType(), TnxshttpsSSLCertStoreTypes::sstUser);
  EXPECT_EQ(https.GetFollowRedirects(), TnxshttpsFollowRedirects::frNever);
  EXPECT_EQ(https.GetURL(), "");
  EXPECT_TRUE(https.GetIdle());
  https.SetIdle(false);
  https.SetSSLServerCert("x");
  EXPECT_TRUE(https.GetIdle());
  EXPECT_EQ(https.GetSSLServerCert(), "");

  TnxHTTP http;
  EXPECT_EQ(http.GetTimeout(), 60);
  EXPECT_EQ(http.GetAuthScheme(), TnxhttpAuthSchemes::authBasic);
  try {
    http.SetOption("Unheard=1");
    ADD_FAILURE() << "an unknown option was taken";
  } catch (const EnxHTTP& e) {
    EXPECT_STREQ(e.what(), "Unknown option: Unheard: 106");
  }
  EXPECT_THROW(http.SetFirewallType(static_cast<TnxhttpFirewallTypes>(9)), EnxHTTP);

  // A reply limit keeps the first bytes only.
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "0123456789"), false, {}});
  EXPECT_EQ(http.SetOption("MaxTransferredData=4"), "4");
  http.PostTo(server.Url());
  EXPECT_EQ(http.GetReplyBody(), "0123");
}

class NxHttpsTransfer : public NxTransfer {
 protected:
  // One set for the whole program: made once.
  static const test::TestCertificates& Certificates() {
    static const test::TestCertificates certificates;
    return certificates;
  }

  // The test authority is the only one trusted.
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() / ("vltg-nx-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory_);
    std::ofstream(directory_ / "ca.pem") << Certificates().AuthorityPem();
    const char* old = std::getenv("SSL_CERT_FILE");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("SSL_CERT_FILE", (directory_ / "ca.pem").c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      setenv("SSL_CERT_FILE", saved_->c_str(), 1);
    } else {
      unsetenv("SSL_CERT_FILE");
    }
    std::filesystem::remove_all(directory_);
  }

  struct Check {
    std::string status, subject, issuer, der;
    bool accept = false;
  };
  // Records the server-authentication event; the handler answers `verdict`, or leaves Accept.
  static void Watch(TnxsHTTPS& https, Check& check, std::optional<bool> verdict) {
    https.OnSSLServerAuthentication = [&check, verdict](TnxsHTTPS&, const std::string& der, const std::string& subject,
                                                        const std::string& issuer, const std::string& status,
                                                        bool& accept) {
      check = {status, subject, issuer, der, accept};
      if (verdict) accept = *verdict;
    };
  }

  std::filesystem::path directory_;
  std::optional<std::string> saved_;
};

TEST_F(NxHttpsTransfer, ATrustedServerIsReportedOkAndPostedTo) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, Certificates().Trusted()});
  TnxsHTTPS https;
  Check check;
  Watch(https, check, std::nullopt);
  Prepare(https, server.Url("/wctp"));
  EXPECT_EQ(Post(https, server.Url("/wctp"), "<x/>"), std::vector<std::string>{"posted"});
  EXPECT_EQ(check.status, "OK");
  EXPECT_TRUE(check.accept);
  EXPECT_NE(check.subject.find("CN=127.0.0.1"), std::string::npos) << check.subject;
  EXPECT_NE(check.issuer.find("CN=vltg test authority"), std::string::npos) << check.issuer;
  const unsigned char* der = reinterpret_cast<const unsigned char*>(check.der.data());
  X509* parsed = d2i_X509(nullptr, &der, static_cast<long>(check.der.size()));
  EXPECT_NE(parsed, nullptr);
  X509_free(parsed);
  EXPECT_EQ(https.GetSSLServerCert(), check.der);
  EXPECT_EQ(https.GetSSLServerCertStatus(), "OK");
  EXPECT_EQ(https.GetReplyBody(), "<ok/>");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(NxHttpsTransfer, AnUntrustedServerFailsUnlessTheHandlerAccepts) {
  LocalHttpServer server({LocalHttpServer::Reply("200 OK", "<ok/>"), false, Certificates().SelfSigned()});
  const std::string selfSigned = X509_verify_cert_error_string(X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT);
  {
    TnxsHTTPS https;  // no handler: the core's verdict stands
    Prepare(https, server.Url());
    std::vector<std::string> seen = Post(https, server.Url(), "<x/>");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "error 60 SSL certificate problem: " + selfSigned);
    EXPECT_EQ(seen[1], "raised SSL certificate problem: " + selfSigned + ": 60");
    EXPECT_EQ(https.GetSSLServerCertStatus(), selfSigned);
  }
  {
    TnxsHTTPS https;  // a handler that leaves Accept as it came
    Check check;
    Watch(https, check, std::nullopt);
    Prepare(https, server.Url());
    std::vector<std::string> seen = Post(https, server.Url(), "<x/>");
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(check.status, selfSigned);
    EXPECT_FALSE(check.accept);
  }
  EXPECT_TRUE(server.Requests().empty());
  {
    TnxsHTTPS https;  // a handler that accepts
    Check check;
    Watch(https, check, true);
    Prepare(https, server.Url());
    EXPECT_EQ(Post(https, server.Url(), "<x/>"), std::vector<std::string>{"posted"});
    EXPECT_EQ(check.status, selfSigned);
    EXPECT_EQ(https.GetReplyBody(), "<ok/>");
  }
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(NxHttpsTransfer, ACertificateForAnotherHostIsNotOkAndATrustedOneCanBeRefused) {
  LocalHttpServer other({LocalHttpServer::Reply("200 OK", "<ok/>"), false, Certificates().OtherHost()});
  TnxsHTTPS https;
  Check check;
  Watch(https, check, std::nullopt);
  Prepare(https, other.Url());
  EXPECT_EQ(Post(https, other.Url(), "<x/>").size(), 2u);
  EXPECT_EQ(check.status, X509_verify_cert_error_string(X509_V_ERR_IP_ADDRESS_MISMATCH));
  EXPECT_FALSE(check.accept);

  LocalHttpServer trusted({LocalHttpServer::Reply("200 OK", "<ok/>"), false, Certificates().Trusted()});
  Watch(https, check, false);
  std::vector<std::string> seen = Post(https, trusted.Url(), "<x/>");
  EXPECT_EQ(check.status, "OK");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].rfind("raised ", 0), 0u);
  EXPECT_TRUE(trusted.Requests().empty());
}

}  // namespace
}  // namespace vltg
