#include "gateway/snpp/ras_library.h"

namespace vltg {

RasLibrary LoadRasLibrary() { return {}; }

}  // namespace vltg
