#pragma once
// HTTP digest authentication (MD5) as a test server plays it: the challenge it
// sends with a 401, and the check of the client's answer to it.
#include <string>

namespace vltg::testing {

// The WWW-Authenticate value: Digest realm="…", nonce="…", qop="auth", algorithm=MD5.
std::string DigestChallenge(const std::string& realm, const std::string& nonce);

// True when the request's "Authorization: Digest" answers that challenge for
// the user and password: same user, realm, nonce and request target, and the
// MD5 response right for them (with qop "auth", or without qop).
bool DigestAuthorized(const std::string& request, const std::string& user, const std::string& password,
                      const std::string& realm, const std::string& nonce);

}  // namespace vltg::testing
