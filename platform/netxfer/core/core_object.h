#pragma once
// One object of an HTTP or HTTPS core: its property values, its methods and
// the libcurl transfers behind PostTo. Which core it belongs to (numbers,
// protocols, certificate check) comes from CoreTraits.
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/netxfer/core/client_certificate.h"
#include "platform/netxfer/core/core_events.h"
#include "platform/netxfer/core/request_setup.h"
#include "platform/netxfer/core/transfer_progress.h"
#include "platform/netxfer/netxfer_abi.h"

namespace vltg::platform::netxfer_core {

struct CoreTraits {
  const NxPropertyNumbers& properties;
  const NxEventNumbers& events;
  const char* protocols;  // libcurl protocol list the core speaks
  bool checksCertificates;
};

// The traits of the core this shared object is built as.
const CoreTraits& ThisCore();

class CoreObject {
 public:
  CoreObject(NxEventCallback callback, NxInt user);
  ~CoreObject();
  CoreObject(const CoreObject&) = delete;
  CoreObject& operator=(const CoreObject&) = delete;

  bool Valid() const { return easy_ != nullptr; }
  NxInt Set(NxInt property, NxInt element, NxInt value, NxInt length);
  NxInt Get(NxInt property, NxInt element, NxInt* length);
  NxInt CheckIndex(NxInt property, NxInt element);
  NxInt Do(NxInt method, NxInt argc, NxInt* argv, NxInt* lengths);
  const char* LastError() const { return lastError_.c_str(); }

 private:
  using Member = int NxPropertyNumbers::*;

  // A TLS context libcurl made for one connection: whose handshake it runs.
  struct TlsPeer {
    CoreObject* object;
    bool proxy;  // the HTTPS proxy's, else the server's
  };

  NxInt Fail(NxInt code, const std::string& description);
  NxInt SetOption(NxInt argc, NxInt* argv);
  NxInt PostTo(const std::string& url);
  NxInt Perform(const std::string& url, const std::string& postedTo, long timeoutMs);
  bool RedirectAllowed(const std::string& from, const std::string& to);
  NxInt Deliver();
  void ClearState();
  void ClearReply();
  RequestSettings Settings();
  void SetCallbacks();
  std::string& Text(Member member);
  NxInt Int(Member member) const;

  static int OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnHeaderLine(char* data, size_t size, size_t count, void* self);
  static int OnSocket(void* self, curl_socket_t socket, curlsocktype purpose);
  static int OnConnected(void* self, char* remote, char* local, int remotePort, int localPort);
  static CURLcode OnSslContext(CURL* easy, void* sslContext, void* self);
  static int OnVerify(X509_STORE_CTX* store, void* peer);
  static void OnTlsInfo(const SSL* ssl, int where, int value);
  int CheckServerCertificate(X509_STORE_CTX* store, bool proxy);

  CoreEvents events_;
  TransferProgress progress_;
  CURL* easy_;
  std::map<int, std::string> texts_;  // by property number
  std::map<int, NxInt> numbers_;      // by property number
  std::string lastError_;
  std::string optionAnswer_;
  std::string statusLine_;            // code and reason of the last status line
  size_t maxReplyBytes_ = 0;          // 0: no limit
  bool busy_ = false;
  char errorBuffer_[CURL_ERROR_SIZE] = {};

  bool localHostSet_ = false;
  std::string localAddress_;          // where the last connection was made from
  std::string hopUrl_;                // the URL of the request under way
  std::string fileBody_;              // the reply kept for LocalFile
  std::optional<ClientIdentity> identity_;
  std::shared_ptr<X509> pinned_;
  std::deque<TlsPeer> tlsPeers_;      // of the request under way
  int tlsContexts_ = 0;               // made on its connection so far
};

}  // namespace vltg::platform::netxfer_core
