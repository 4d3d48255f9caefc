#pragma once
// The account a service runs under. LocalSystem is the user that runs the
// service layer (nothing is switched). A named account is switched to when
// the layer runs as root; otherwise only the layer's own user can be named.
// The password is stored with the service but never checked: there is no way
// to check it here without PAM.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltg::platform {

// What a start needs to run the program under the account.
struct ServiceAccount {
  bool switch_user = false;
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;
  std::string name;
  std::string home;
  std::string shell;
};

// "LocalSystem" for an empty name or a spelling of it (".\LocalSystem", any
// case); otherwise the name as given.
std::string StoredAccountName(std::string_view account);

// Resolves a stored account for a start: nothing, with
// ERROR_SERVICE_LOGON_FAILED, when the user is unknown or cannot be switched to.
std::optional<ServiceAccount> ResolveServiceAccount(std::string_view account, uint32_t& error);

}  // namespace vltg::platform
