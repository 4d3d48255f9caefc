#include "platform/netxfer/core/client_certificate.h"

#include <openssl/pkcs12.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/base/ascii_text.h"
#include "platform/base/machine_root.h"
#include "platform/base/whole_file.h"
#include "platform/netxfer/core/certificate_check.h"

namespace vltg::platform::netxfer_core {
namespace {

namespace fs = std::filesystem;

enum StoreType { kUser = 0, kMachine = 1, kPfxFile = 2, kPfxBlob = 3 };

fs::path HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  const passwd* entry = getpwuid(geteuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

fs::path StoreDirectory(int type, const std::string& store) {
  if (store.empty() || store == "." || store == ".." || store.find('/') != std::string::npos ||
      store.find('\0') != std::string::npos) {
    throw CertificateRefusal("SSLCertStore: \"" + store + "\" is no store name");
  }
  return (type == kUser ? HomeDirectory() / ".vltg" : MachineRoot()) / "certstores" / store;
}

std::string Bytes(const fs::path& file) {
  try {
    std::optional<std::string> bytes = ReadWholeFile(file);
    if (!bytes) throw CertificateRefusal("SSLCertStore: " + file.string() + ": No such file");
    return *bytes;
  } catch (const EFileError& e) {
    throw CertificateRefusal(std::string("SSLCertStore: ") + e.what());
  }
}

std::vector<fs::path> StoreFiles(const fs::path& directory) {
  std::error_code error;
  if (!fs::is_directory(directory, error)) {
    throw CertificateRefusal("SSLCertStore: " + directory.string() + ": No such store");
  }
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    const std::string extension = LowerAscii(entry.path().extension().string());
    if (extension == ".p12" || extension == ".pfx") files.push_back(entry.path());
  }
  if (error) throw CertificateRefusal("SSLCertStore: " + directory.string() + ": " + error.message());
  std::sort(files.begin(), files.end());
  return files;
}

std::string CommonName(const X509_NAME* name) {
  const int at = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
  if (at < 0) return {};
  unsigned char* text = nullptr;
  const int size = ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, at)));
  std::string out = size > 0 ? std::string(reinterpret_cast<char*>(text), static_cast<size_t>(size)) : "";
  OPENSSL_free(text);
  return out;
}

bool Matches(X509* certificate, const std::string& subject) {
  if (subject == "*") return true;
  const X509_NAME* name = X509_get_subject_name(certificate);
  return EqualsIgnoreCase(NameText(name), subject) || EqualsIgnoreCase(CommonName(name), subject);
}

}  // namespace

std::optional<ClientIdentity> OpenPkcs12(const std::string& bytes, const std::string& password) {
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::unique_ptr<PKCS12, decltype(&PKCS12_free)> pkcs12(
      d2i_PKCS12(nullptr, &data, static_cast<long>(bytes.size())), &PKCS12_free);
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  STACK_OF(X509)* chain = nullptr;
  if (!pkcs12 || PKCS12_parse(pkcs12.get(), password.c_str(), &key, &certificate, &chain) != 1) return {};
  ClientIdentity identity;
  identity.certificate_.reset(certificate, ClientIdentity::Free());
  identity.key_.reset(key, ClientIdentity::Free());
  identity.chain_.reset(chain, ClientIdentity::Free());
  if (!certificate || !key) return {};
  return identity;
}

std::optional<ClientIdentity> ClientIdentity::Choose(const ClientCertificateSettings& settings) {
  if (settings.subject.empty()) return {};
  std::vector<std::pair<std::string, std::string>> candidates;  // where, bytes
  switch (settings.storeType) {
    case kPfxFile:
      candidates.emplace_back(settings.store, Bytes(settings.store));
      break;
    case kPfxBlob:
      candidates.emplace_back("the PKCS#12 bytes", settings.store);
      break;
    default:
      for (const fs::path& file : StoreFiles(StoreDirectory(settings.storeType, settings.store))) {
        candidates.emplace_back(file.string(), Bytes(file));
      }
      break;
  }
  std::vector<std::string> unopened;
  for (const auto& [where, bytes] : candidates) {
    std::optional<ClientIdentity> identity = OpenPkcs12(bytes, settings.password);
    if (!identity) {
      unopened.push_back(where);
    } else if (Matches(identity->certificate_.get(), settings.subject)) {
      return identity;
    }
  }
  if (candidates.size() == 1 && unopened.size() == 1) {
    throw CertificateRefusal("SSLCertStorePassword: " + unopened[0] + " does not open with it");
  }
  std::string why = "SSLCertSubject: no certificate \"" + settings.subject + "\" in the store";
  if (!unopened.empty()) why += " (" + std::to_string(unopened.size()) + " files do not open with SSLCertStorePassword)";
  throw CertificateRefusal(why);
}

bool ClientIdentity::Use(SSL_CTX* context) const {
  return SSL_CTX_use_cert_and_key(context, certificate_.get(), key_.get(), chain_.get(), 1) == 1;
}

}  // namespace vltg::platform::netxfer_core
