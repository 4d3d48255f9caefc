#pragma once
// One object of an HTTP or HTTPS core: its property values, its methods and
// the libcurl transfer behind PostTo. Which core it belongs to (numbers,
// protocols, certificate check) comes from CoreTraits.
#include <curl/curl.h>
#include <openssl/x509.h>

#include <map>
#include <memory>
#include <string>

#include "platform/netxfer/netxfer_abi.h"

namespace vltg::platform::netxfer_core {

struct CoreTraits {
  const NxPropertyNumbers& properties;
  const NxEventNumbers& events;
  const char* protocols;  // libcurl protocol list allowed for posts and redirects
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

  NxInt Fail(NxInt code, const std::string& description);
  NxInt SetOption(NxInt argc, NxInt* argv);
  NxInt PostTo(const std::string& url);
  void ClearState();
  void ClearReply();
  CURLcode Configure(const std::string& url, curl_slist*& headers);
  std::string& Text(Member member);
  NxInt Int(Member member) const;

  void RaiseError(NxInt code, const std::string& description);
  void RaiseStatus(const std::string& version, NxInt code, const std::string& reason);
  void RaiseHeader(const std::string& field, const std::string& value);
  void Raise(int event, NxInt* argv, NxInt* lengths, NxInt argc);

  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnHeaderLine(char* data, size_t size, size_t count, void* self);
  static CURLcode OnSslContext(CURL* easy, void* sslContext, void* self);
  static int OnVerify(X509_STORE_CTX* store, void* self);
  int CheckServerCertificate(X509_STORE_CTX* store);

  NxEventCallback callback_;
  NxInt user_;
  CURL* easy_;
  std::map<int, std::string> texts_;  // by property number
  std::map<int, NxInt> numbers_;      // by property number
  std::string lastError_;
  std::string optionAnswer_;
  std::string statusLine_;            // code and reason of the last status line
  size_t maxReplyBytes_ = 0;          // 0: no limit
  bool busy_ = false;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace vltg::platform::netxfer_core
