// Reads a port's rate through termios2: glibc's tcgetattr cannot show the
// rates set with BOTHER. Kept apart because <asm/termbits.h> clashes with
// <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace vltg::platform {

uint32_t ProbeOutputRate(int fd) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

}  // namespace vltg::platform
