#include "platform/netxfer/core/certificate_check.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509_vfy.h>

#include <memory>

namespace vltg::platform::netxfer_core {
namespace {

template <auto Free>
struct Deleter {
  template <class T>
  void operator()(T* p) const { Free(p); }
};
using Store = std::unique_ptr<X509_STORE, Deleter<X509_STORE_free>>;
using StoreContext = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;

std::string DerBytes(X509* certificate) {
  unsigned char* der = nullptr;
  int size = i2d_X509(certificate, &der);
  if (size <= 0) return {};
  std::string bytes(reinterpret_cast<const char*>(der), static_cast<size_t>(size));
  OPENSSL_free(der);
  return bytes;
}

bool IsAddress(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

int Verify(X509* leaf, STACK_OF(X509)* chain, const std::string& host) {
  Store store(X509_STORE_new());
  StoreContext context(X509_STORE_CTX_new());
  if (!store || !context || X509_STORE_set_default_paths(store.get()) != 1 ||
      X509_STORE_CTX_init(context.get(), store.get(), leaf, chain) != 1 ||
      X509_STORE_CTX_set_default(context.get(), "ssl_server") != 1) {
    return X509_V_ERR_UNSPECIFIED;
  }
  X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
  int named = IsAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                              : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
  if (named != 1) return X509_V_ERR_UNSPECIFIED;
  if (X509_verify_cert(context.get()) == 1) return X509_V_OK;
  int error = X509_STORE_CTX_get_error(context.get());
  return error == X509_V_OK ? X509_V_ERR_UNSPECIFIED : error;
}

}  // namespace

std::string NameText(const X509_NAME* name) {
  Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || !name) return {};
  X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

std::shared_ptr<X509> ReadCertificate(const std::string& bytes) {
  Bio bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  X509* certificate = bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
  if (!certificate) {
    ERR_clear_error();
    const unsigned char* der = reinterpret_cast<const unsigned char*>(bytes.data());
    certificate = d2i_X509(nullptr, &der, static_cast<long>(bytes.size()));
  }
  ERR_clear_error();
  return std::shared_ptr<X509>(certificate, Deleter<X509_free>());
}

CertificateCheck CheckServerCertificate(X509_STORE_CTX* presented, const std::string& host, X509* pinned) {
  CertificateCheck check{X509_V_ERR_UNSPECIFIED, {}, {}, {}, {}};
  X509* leaf = X509_STORE_CTX_get0_cert(presented);
  if (leaf) {
    check.error = pinned && X509_cmp(leaf, pinned) == 0
                      ? X509_V_OK
                      : Verify(leaf, X509_STORE_CTX_get0_untrusted(presented), host);
    check.der = DerBytes(leaf);
    check.subject = NameText(X509_get_subject_name(leaf));
    check.issuer = NameText(X509_get_issuer_name(leaf));
  }
  check.status = check.error == X509_V_OK ? "OK" : X509_verify_cert_error_string(check.error);
  return check;
}

}  // namespace vltg::platform::netxfer_core
