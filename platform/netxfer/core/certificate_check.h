#pragma once
// The HTTPS core's own check of a server certificate: the chain the server
// presented, verified against the system's trust store (which honours
// SSL_CERT_FILE and SSL_CERT_DIR) and the host name or address of the URL.
#include <openssl/x509.h>

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
CertificateCheck CheckServerCertificate(X509_STORE_CTX* presented, const std::string& host);

}  // namespace vltg::platform::netxfer_core
