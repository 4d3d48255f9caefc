#pragma once
// Starts a program detached from the caller, as the service layer starts a
// service: in a session of its own, reparented away from the caller (so no
// zombie is left to reap), with /dev/null as its standard streams, one
// inherited descriptor, its own working directory and, when asked, another
// user's identity.
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/service/service_account.h"

namespace vltg::platform {

struct DetachedSpawn {
  std::string program;
  std::string working_directory;
  // "NAME=value" entries: the whole environment of the program.
  std::vector<std::string> environment;
  // Handed to the program as this descriptor number (kept open across exec).
  int inherited_fd = -1;
  int inherited_as = 3;
  ServiceAccount account;
};

struct SpawnResult {
  // 0 once the program runs; else the errno of the step that failed
  // (changing user, changing directory, exec).
  int error = 0;
  pid_t pid = 0;
};

// Returns when the program has been executed or has failed to be.
SpawnResult SpawnDetached(const DetachedSpawn& spawn);

}  // namespace vltg::platform
