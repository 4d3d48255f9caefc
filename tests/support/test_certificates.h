#pragma once
// Certificates made on the spot for local TLS tests: a test certificate
// authority, a server certificate it signed for 127.0.0.1 and localhost, one
// it signed for another host only, a self-signed server certificate, and
// client identities it signs on demand. Keys are P-256, so making them is
// quick. PKCS#12 and DER forms serve clients that take a certificate so.
#include <string>

namespace vltg::testing {

struct PemIdentity {
  std::string certificate;
  std::string key;
};

class TestCertificates {
 public:
  TestCertificates();

  const std::string& AuthorityPem() const { return authority_; }
  const PemIdentity& Trusted() const { return trusted_; }
  const PemIdentity& SelfSigned() const { return selfSigned_; }
  const PemIdentity& OtherHost() const { return otherHost_; }  // names wctp.example only
  // A client certificate (for TLS client authentication) with the subject
  // "CN=<commonName>,O=vltg tests", signed by the authority; a new key each call.
  PemIdentity Client(const std::string& commonName) const;

 private:
  std::string authority_;
  std::string authorityKey_;
  PemIdentity trusted_;
  PemIdentity selfSigned_;
  PemIdentity otherHost_;
};

// The identity as PKCS#12 bytes (a .p12/.pfx file) protected by `password`.
std::string Pkcs12(const PemIdentity& identity, const std::string& password);

}  // namespace vltg::testing
