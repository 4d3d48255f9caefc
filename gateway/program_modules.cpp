#include "gateway/program_modules.h"

#include "gateway/snpp/sock.h"
#include "platform/netxfer/netxfer_library.h"

namespace vltg {

TProgramModules::TProgramModules() {
  SockStartup();
  platform::LoadNetXferCores();  // HTTPS, then HTTP
}

TProgramModules::~TProgramModules() {
  platform::UnloadNetXferCores();  // HTTP, then HTTPS
  SockCleanup();
}

}  // namespace vltg
