#pragma once
// The HTTPS core's own check of a server certificate: the chain the server
// presented, verified against the system's trust store (which honours
// SSL_CERT_FILE and SSL_CERT_DIR) and the host name or address it was reached
// by, or the one certificate the owner pinned.
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace vltg::platform::netxfer_core {

struct CertificateCheck {
  int error;             // X509_V_OK when trusted
  std::string status;    // "OK" or the verifier's text for the error
  std::string der;       // the server's certificate, DER bytes
  std::string subject;   // RFC 2253 names
  std::string issuer;
};

// `presented` is the handshake's store context (leaf and untrusted chain).
// A server that presents exactly the `pinned` certificate is trusted, whatever
// the chain and the host name say.
CertificateCheck CheckServerCertificate(X509_STORE_CTX* presented, const std::string& host, X509* pinned = nullptr);

// A certificate given as PEM or DER bytes; null when the bytes are neither.
std::shared_ptr<X509> ReadCertificate(const std::string& bytes);

// A name as RFC 2253 text ("CN=gateway,O=Example").
std::string NameText(const X509_NAME* name);

}  // namespace vltg::platform::netxfer_core
