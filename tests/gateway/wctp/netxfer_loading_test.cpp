// Programs that carry the HTTP cores as the gateway does: loading at start,
// unloading at the end, and a program built without the HTTP core.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vltg {
namespace {

std::string RunProbe(const std::string& program) {
  std::string output;
  FILE* pipe = popen((std::string(VLTG_BINARY_DIR) + "/tests/" + program).c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  EXPECT_EQ(pclose(pipe), 0);
  return output;
}

const char* const kUnloaded =
    "memory files: 0\n"
    "mapped cores: 0\n"
    "HTTPS entry points: 0\n"
    "HTTP entry points: 0\n"
    "TnxsHTTPS: NetXfer SSL HTTPS: Error creating component: -1\n"
    "TnxHTTP: NetXfer HTTP: Error creating component: -1\n";

TEST(NetXferLoading, BothCoresLoadAtStartAndLeaveNothingAtTheEnd) {
  EXPECT_EQ(RunProbe("netxfer-probe"), std::string("memory files: 2\n"
                                               "mapped cores: 2\n"
                                               "HTTPS entry points: 7\n"
                                               "HTTP entry points: 7\n"
                                               "TnxsHTTPS: created\n"
                                               "TnxHTTP: created\n") +
                                       kUnloaded);
}

TEST(NetXferLoading, AProgramBuiltWithoutTheHttpCoreFailsOnlyItsComponent) {
  EXPECT_EQ(RunProbe("netxfer-probe-without-http"), std::string("memory files: 1\n"
                                                           "mapped cores: 1\n"
                                                           "HTTPS entry points: 7\n"
                                                           "HTTP entry points: 0\n"
                                                           "TnxsHTTPS: created\n"
                                                           "TnxHTTP: NetXfer HTTP: Error creating component: -1\n") +
                                                   kUnloaded);
}

}  // namespace
}  // namespace vltg
