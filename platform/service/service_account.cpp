#include "platform/service/service_account.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/base/ascii_text.h"
#include "platform/base/system_error.h"
#include "platform/service/service_types.h"

namespace vltg::platform {
namespace {

std::string_view WithoutLocalPrefix(std::string_view account) {
  if (account.size() > 2 && account[0] == '.' && account[1] == '\\') account.remove_prefix(2);
  return account;
}

bool IsLocalSystem(std::string_view account) {
  account = WithoutLocalPrefix(account);
  return account.empty() || EqualsIgnoreCase(account, kLocalSystemAccount);
}

}  // namespace

std::string StoredAccountName(std::string_view account) {
  return IsLocalSystem(account) ? std::string(kLocalSystemAccount) : std::string(account);
}

std::optional<ServiceAccount> ResolveServiceAccount(std::string_view account, uint32_t& error) {
  ServiceAccount result;
  if (IsLocalSystem(account)) return result;

  const std::string name(WithoutLocalPrefix(account));
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) {
    error = ERROR_SERVICE_LOGON_FAILED;
    return std::nullopt;
  }
  if (::geteuid() != 0) {
    // Without root the layer can only run programs as itself.
    if (found->pw_uid != ::geteuid()) {
      error = ERROR_SERVICE_LOGON_FAILED;
      return std::nullopt;
    }
    return result;
  }
  result.switch_user = true;
  result.uid = found->pw_uid;
  result.gid = found->pw_gid;
  result.name = found->pw_name;
  result.home = found->pw_dir;
  result.shell = found->pw_shell;
  int count = 32;
  result.groups.resize(static_cast<std::size_t>(count));
  while (::getgrouplist(found->pw_name, found->pw_gid, result.groups.data(), &count) < 0) {
    result.groups.resize(static_cast<std::size_t>(count) + 32);
    count = static_cast<int>(result.groups.size());
  }
  result.groups.resize(static_cast<std::size_t>(count));
  return result;
}

}  // namespace vltg::platform
