#pragma once
// Runs a piece of a test as an ordinary user, for what only another account's
// files make (a file the user cannot read, a link another user owns): as root
// in a forked child that takes the ids of "nobody", else right here.
#include <sys/types.h>

#include <functional>
#include <string>

namespace vltg::testing {

struct OrdinaryUser {
  uid_t uid;
  gid_t gid;
};
bool RunningAsRoot();
// "nobody" under root, else this process's own user.
OrdinaryUser TheOrdinaryUser();

// What `work` returns (or "raised: " and the exception's text). The child
// ends with _exit, running none of the parent's clean-up.
std::string RunAsOrdinaryUser(const std::function<std::string()>& work);

}  // namespace vltg::testing
