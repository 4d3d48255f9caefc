#pragma once
// The client certificate an HTTPS core presents, chosen by its certificate
// store settings:
//   store type 0 (user) and 1 (machine): the store is a directory of PKCS#12
//     files (*.p12, *.pfx) named by SSLCertStore ("MY" at creation) under
//     ~/.vltg/certstores for the user and $VLTG_ROOT/certstores for the
//     machine; files are read in name order, each opened with the store
//     password (files it does not open are passed over);
//   store type 2: SSLCertStore names one PKCS#12 file;
//   store type 3: SSLCertStore holds the PKCS#12 bytes themselves.
// SSLCertSubject picks the certificate: "*" the first one, else the one whose
// subject (RFC 2253, "CN=gateway,O=Example") or common name equals it, in
// any case of ASCII letters; an empty subject presents none.
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace vltg::platform::netxfer_core {

// Why no certificate could be chosen; the text names the property at fault.
class CertificateRefusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ClientCertificateSettings {
  int storeType = 0;
  std::string store;
  std::string password;
  std::string subject;
};

class ClientIdentity {
 public:
  // Nothing when the subject is empty; raises CertificateRefusal.
  static std::optional<ClientIdentity> Choose(const ClientCertificateSettings& settings);

  // Presents this identity on connections made from `context`.
  bool Use(SSL_CTX* context) const;

 private:
  struct Free {
    void operator()(X509* p) const { X509_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(STACK_OF(X509) * p) const { sk_X509_pop_free(p, X509_free); }
  };
  std::shared_ptr<X509> certificate_;
  std::shared_ptr<EVP_PKEY> key_;
  std::shared_ptr<STACK_OF(X509)> chain_;

  friend std::optional<ClientIdentity> OpenPkcs12(const std::string& bytes, const std::string& password);
};

// The certificate and key of PKCS#12 bytes; nothing when they do not open
// with the password.
std::optional<ClientIdentity> OpenPkcs12(const std::string& bytes, const std::string& password);

}  // namespace vltg::platform::netxfer_core
