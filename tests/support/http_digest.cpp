#include "tests/support/http_digest.h"

#include <openssl/evp.h>

#include <cctype>
#include <map>
#include <string_view>

#include "tests/support/http_message.h"

namespace vltg::testing {
namespace {

std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// The name=value and name="value" pairs after "Digest "; names in lower case.
std::map<std::string, std::string> DigestParameters(std::string_view text) {
  std::map<std::string, std::string> parameters;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == ',')) ++at;
    const size_t equals = text.find('=', at);
    if (equals == std::string_view::npos) break;
    std::string name(text.substr(at, equals - at));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string value;
    at = equals + 1;
    if (at < text.size() && text[at] == '"') {
      for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\' && at + 1 < text.size()) ++at;
        value += text[at];
      }
      ++at;
    } else {
      const size_t comma = text.find(',', at);
      value = std::string(text.substr(at, comma == std::string_view::npos ? comma : comma - at));
      at = comma == std::string_view::npos ? text.size() : comma;
    }
    parameters[name] = value;
  }
  return parameters;
}

}  // namespace

std::string DigestChallenge(const std::string& realm, const std::string& nonce) {
  return "Digest realm=\"" + realm + "\", nonce=\"" + nonce + "\", qop=\"auth\", algorithm=MD5";
}

bool DigestAuthorized(const std::string& request, const std::string& user, const std::string& password,
                      const std::string& realm, const std::string& nonce) {
  const auto field = HeaderField(request, "Authorization");
  constexpr std::string_view kScheme = "Digest ";
  if (!field || field->compare(0, kScheme.size(), kScheme) != 0) return false;
  auto p = DigestParameters(std::string_view(*field).substr(kScheme.size()));
  if (p["username"] != user || p["realm"] != realm || p["nonce"] != nonce || p["uri"] != RequestTarget(request) ||
      (!p["algorithm"].empty() && p["algorithm"] != "MD5")) {
    return false;
  }
  const std::string known = Md5Hex(user + ":" + realm + ":" + password);
  const std::string asked = Md5Hex(RequestMethod(request) + ":" + p["uri"]);
  if (p["qop"].empty()) return p["response"] == Md5Hex(known + ":" + nonce + ":" + asked);
  return p["qop"] == "auth" && !p["nc"].empty() && !p["cnonce"].empty() &&
         p["response"] == Md5Hex(known + ":" + nonce + ":" + p["nc"] + ":" + p["cnonce"] + ":auth:" + asked);
}

}  // namespace vltg::testing
