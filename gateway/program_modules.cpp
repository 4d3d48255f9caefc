#include "gateway/program_modules.h"

namespace vltg {

void StartUpSocketLayer() {}
void LoadHttpsCore() {}
void LoadHttpCore() {}
void UnloadHttpCore() {}
void UnloadHttpsCore() {}
void CleanUpSocketLayer() {}

TProgramModules::TProgramModules() {
  StartUpSocketLayer();
  LoadHttpsCore();
  LoadHttpCore();
}

TProgramModules::~TProgramModules() {
  UnloadHttpCore();
  UnloadHttpsCore();
  CleanUpSocketLayer();
}

}  // namespace vltg
