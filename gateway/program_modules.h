#pragma once
// The process-wide start-ups of the gateway program, run before the service
// framework in this order: the socket layer, then the HTTPS core, then the
// HTTP core. They are undone in reverse order when the process ends.
namespace vltg {

// Hooks of the pieces that own them; each is empty until its piece fills it.
void StartUpSocketLayer();   // the TCP socket component's start-up
void LoadHttpsCore();        // the HTTPS core library of the WCTP client
void LoadHttpCore();         // the HTTP core library of the WCTP client
void UnloadHttpCore();
void UnloadHttpsCore();
void CleanUpSocketLayer();

// Runs the start-ups when made and the shut-downs when destroyed.
class TProgramModules {
 public:
  TProgramModules();
  ~TProgramModules();
  TProgramModules(const TProgramModules&) = delete;
  TProgramModules& operator=(const TProgramModules&) = delete;
};

}  // namespace vltg
