// The kernel's termios2 constants (not glibc's <termios.h>): BOTHER is the
// only way to set 14400 or 56000.
#include "platform/serial/serial_line_flags.h"

#include <asm/termbits.h>

namespace vltg::platform {
namespace {

constexpr uint8_t kXon = 17;
constexpr uint8_t kXoff = 19;

// The classic rate codes; anything else goes through BOTHER.
uint32_t RateCode(uint32_t baud) {
  switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return BOTHER;
  }
}

uint32_t SizeFlag(int data_bits) {
  switch (data_bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

}  // namespace

bool MakeLineFlags(const SerialSettings& s, SerialLineFlags& f) {
  if (s.data_bits < 5 || s.data_bits > 8 || s.baud == 0) return false;

  f.iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IUCLC |
               IMAXBEL);
  if (s.xon_xoff) f.iflag |= IXON | IXOFF;
  f.oflag &= ~OPOST;
  f.lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ECHOPRT | ICANON | ISIG | IEXTEN);

  // The modem lines never hang the port up (CLOCAL): carrier is read, not obeyed.
  f.cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
  f.cflag |= CREAD | CLOCAL | SizeFlag(s.data_bits);
  switch (s.parity) {
    case SerialParity::kNone: break;
    case SerialParity::kOdd: f.cflag |= PARENB | PARODD; break;
    case SerialParity::kEven: f.cflag |= PARENB; break;
    case SerialParity::kMark: f.cflag |= PARENB | CMSPAR | PARODD; break;
    case SerialParity::kSpace: f.cflag |= PARENB | CMSPAR; break;
  }
  if (s.stop_bits != SerialStopBits::kOne) f.cflag |= CSTOPB;
  if (s.rts_cts) f.cflag |= CRTSCTS;
  f.cflag |= RateCode(s.baud);  // input rate bits left 0: same as output
  f.ispeed = s.baud;
  f.ospeed = s.baud;

  f.vmin = 0;
  f.vtime = 0;
  f.vstart = kXon;
  f.vstop = kXoff;
  return true;
}

}  // namespace vltg::platform
