#pragma once
// The line settings of a port as the kernel's termios2 holds them, and how a
// SerialSettings turns into them (raw mode: no CR/LF mapping, no echo, no
// signals; reads never block in the driver). Kept free of <termios.h> and of
// the kernel headers so it can be checked on its own: pseudo-terminals drop
// data bits and parity, so they cannot show all of it.
#include <cstdint>

#include "platform/serial/serial_port.h"

namespace vltg::platform {

struct SerialLineFlags {
  uint32_t iflag = 0;
  uint32_t oflag = 0;
  uint32_t cflag = 0;
  uint32_t lflag = 0;
  uint32_t ispeed = 0;
  uint32_t ospeed = 0;
  uint8_t vmin = 0;
  uint8_t vtime = 0;
  uint8_t vstart = 0;
  uint8_t vstop = 0;
};

// Rewrites the flags read from a device for `settings`, keeping the bits
// that do not concern them. False (flags untouched) for settings no port
// can take: data bits outside 5..8 or rate 0.
bool MakeLineFlags(const SerialSettings& settings, SerialLineFlags& flags);

}  // namespace vltg::platform
