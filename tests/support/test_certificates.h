#pragma once
// Certificates made on the spot for local TLS tests: a test certificate
// authority, a server certificate it signed for 127.0.0.1 and localhost, one
// it signed for another host only, and a self-signed server certificate.
// Keys are P-256, so making them is quick.
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

 private:
  std::string authority_;
  PemIdentity trusted_;
  PemIdentity selfSigned_;
  PemIdentity otherHost_;
};

}  // namespace vltg::testing
