#include "tests/support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace vltg::testing {
namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(PKCS12* p) const { PKCS12_free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Free>;
using Certificate = std::unique_ptr<X509, Free>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("making test certificates: ") + what);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Check(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, "extension");
  X509_EXTENSION_free(extension);
}

enum class Role { kAuthority, kServer, kClient };

// Signed by `issuer` with `issuerKey`, or by itself when issuer is null.
Certificate Make(const char* commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, Role role, long serial,
                 const char* names = "IP:127.0.0.1,DNS:localhost") {
  Certificate certificate(X509_new());
  Check(certificate != nullptr, "certificate");
  X509* c = certificate.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
  X509_gmtime_adj(X509_getm_notBefore(c), -3600);
  X509_gmtime_adj(X509_getm_notAfter(c), 7 * 24 * 3600);
  X509_set_pubkey(c, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("vltg tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer = issuer ? issuer : c;
  X509_set_issuer_name(c, X509_get_subject_name(signer));
  AddExtension(c, signer, NID_subject_key_identifier, "hash");
  if (role == Role::kAuthority) {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else if (role == Role::kServer) {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(c, signer, NID_ext_key_usage, "serverAuth");
    AddExtension(c, signer, NID_subject_alt_name, names);
  } else {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(c, signer, NID_ext_key_usage, "clientAuth");
  }
  Check(X509_sign(c, issuerKey ? issuerKey : key, EVP_sha256()) > 0, "signature");
  return certificate;
}

std::string Pem(X509* certificate) {
  std::unique_ptr<BIO, Free> bio(BIO_new(BIO_s_mem()));
  Check(bio && PEM_write_bio_X509(bio.get(), certificate) == 1, "certificate PEM");
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(size));
}

std::string Pem(EVP_PKEY* key) {
  std::unique_ptr<BIO, Free> bio(BIO_new(BIO_s_mem()));
  Check(bio && PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "key PEM");
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(size));
}

Key NewKey() {
  Key key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key");
  return key;
}

std::unique_ptr<BIO, Free> Reading(const std::string& pem) {
  std::unique_ptr<BIO, Free> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  Check(bio != nullptr, "reading PEM");
  return bio;
}

Certificate ReadCertificate(const std::string& pem) {
  Certificate certificate(PEM_read_bio_X509(Reading(pem).get(), nullptr, nullptr, nullptr));
  Check(certificate != nullptr, "no PEM certificate");
  return certificate;
}

template <typename T>
std::string Der(const T* object, int (*encode)(const T*, unsigned char**)) {
  unsigned char* bytes = nullptr;
  const int size = encode(object, &bytes);
  Check(size > 0, "DER");
  std::string der(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  OPENSSL_free(bytes);
  return der;
}

Key ReadKey(const std::string& pem) {
  Key key(PEM_read_bio_PrivateKey(Reading(pem).get(), nullptr, nullptr, nullptr));
  Check(key != nullptr, "no PEM key");
  return key;
}

}  // namespace

TestCertificates::TestCertificates() {
  Key authorityKey = NewKey();
  Certificate authority = Make("vltg test authority", authorityKey.get(), nullptr, nullptr, Role::kAuthority, 1);
  Key serverKey = NewKey();
  Certificate server = Make("127.0.0.1", serverKey.get(), authority.get(), authorityKey.get(), Role::kServer, 2);
  Key loneKey = NewKey();
  Certificate lone = Make("127.0.0.1", loneKey.get(), nullptr, nullptr, Role::kServer, 3);
  Key otherKey = NewKey();
  Certificate other = Make("wctp.example", otherKey.get(), authority.get(), authorityKey.get(), Role::kServer, 4,
                           "DNS:wctp.example");
  authority_ = Pem(authority.get());
  authorityKey_ = Pem(authorityKey.get());
  otherHost_ = {Pem(other.get()), Pem(otherKey.get())};
  trusted_ = {Pem(server.get()), Pem(serverKey.get())};
  selfSigned_ = {Pem(lone.get()), Pem(loneKey.get())};
}

PemIdentity TestCertificates::Client(const std::string& commonName) const {
  static std::atomic<long> serial{100};
  Certificate authority = ReadCertificate(authority_);
  Key authorityKey = ReadKey(authorityKey_);
  Key key = NewKey();
  Certificate client =
      Make(commonName.c_str(), key.get(), authority.get(), authorityKey.get(), Role::kClient, serial++);
  return {Pem(client.get()), Pem(key.get())};
}

std::string Pkcs12(const PemIdentity& identity, const std::string& password) {
  Certificate certificate = ReadCertificate(identity.certificate);
  Key key = ReadKey(identity.key);
  // OpenSSL 3's defaults: AES-256-CBC under PBKDF2, and a SHA-256 MAC.
  std::unique_ptr<PKCS12, Free> p12(
      PKCS12_create(password.c_str(), nullptr, key.get(), certificate.get(), nullptr, 0, 0, 0, 0, 0));
  Check(p12 != nullptr, "PKCS#12");
  return Der(p12.get(), i2d_PKCS12);
}

}  // namespace vltg::testing
