#pragma once
// The identifiers after "SYSTEM" or "PUBLIC" in a declaration.
#include <string>

namespace vltg {

class TExternalID {
 public:
  // Reads from p, which starts with "SYSTEM" or "PUBLIC". After "SYSTEM" the
  // first quoted text is the system identifier; after "PUBLIC" the first is
  // the public one and a second, if one follows before ">" or "[", the
  // system identifier.
  explicit TExternalID(const char* p);

  std::string PublicId;
  std::string SystemId;
  const char* Stop;  // where reading stopped
};

}  // namespace vltg
