// vltg, the gateway service program. With /INSTALL or /UNINSTALL it registers
// or removes its service; otherwise it runs the service VLTAPGateway under
// the service layer (started by hand, it ends at once).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "gateway/program_modules.h"
#include "gateway/vltap_gateway_service.h"
#include "platform/service/service_application.h"

int main(int argc, char** argv) {
  try {
    const vltg::TProgramModules modules;
    vltg::platform::TServiceApplication application;
    vltg::TVLTAPGateway service;
    application.CreateService(service);
    return application.Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    // A module that cannot start: the program cannot run at all.
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
