#pragma once
// The process-wide start-ups of the gateway program, run before the service
// framework in this order: the socket layer, then the HTTPS core, then the
// HTTP core. They are undone in reverse order when the process ends, after
// every other thread has ended.
namespace vltg {

class TProgramModules {
 public:
  // Raises the socket layer's start-up failure; a core that does not load
  // only leaves its component without entry points.
  TProgramModules();
  ~TProgramModules();
  TProgramModules(const TProgramModules&) = delete;
  TProgramModules& operator=(const TProgramModules&) = delete;
};

}  // namespace vltg
