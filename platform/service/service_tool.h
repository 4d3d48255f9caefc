#pragma once
// vltg-sc: the service layer on the command line, in the manner of sc, for
// scripts, tests and operators.
//
//   vltg-sc create NAME binPath= PATH [DisplayName= TEXT] [type= own|share|interact|N]
//                  [start= auto|demand|disabled|N] [error= ignore|normal|severe|critical|N]
//                  [obj= ACCOUNT] [password= TEXT]
//   vltg-sc config NAME [the same options]
//   vltg-sc start|stop|query|qc|delete NAME
//   vltg-sc autostart          starts every automatic service (what a boot script calls)
//
// An option is written "key= value" as sc wants it, or "key=value".
#include <ostream>
#include <string>
#include <vector>

#include "platform/service/service_types.h"

namespace vltg::platform {

// The options after the service name; false, with the offending text in
// `bad`, for an unknown key, a missing value or a value that is no choice.
bool ParseServiceToolOptions(const std::vector<std::string>& options, ServiceConfigChange& change, std::string& bad);

// Runs one command (the arguments after the program name). Returns the exit
// status: 0 done, 1 refused by the service layer, 2 bad command line.
int RunServiceTool(const std::vector<std::string>& args, std::ostream& out);

}  // namespace vltg::platform
