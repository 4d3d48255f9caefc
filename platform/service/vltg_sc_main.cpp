// vltg-sc: creates, starts, stops, queries, reconfigures and deletes services.
#include <iostream>
#include <string>
#include <vector>

#include "platform/service/service_tool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = vltg::platform::RunServiceTool(args, std::cout);
  std::cout.flush();
  return status;
}
