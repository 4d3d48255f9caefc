#pragma once
// The engine's two timed reads, written once over a source of waiting bytes so
// the COM port and the scripted test port wait alike: each pays 750 ms before
// its first read, then reads what arrives while a TTimeCounter of the window
// counts down, waiting in between for more input (or the countdown's tick).
#include <cstdint>
#include <string>

namespace vltg {

// Where the reads take their bytes from.
class TTapInput {
 public:
  virtual ~TTapInput() = default;
  // All bytes waiting now (possibly none). A read failure is raised.
  virtual std::string ReadWaiting() = 0;
  // False once the call is gone: dropped, detached or the carrier lost.
  virtual bool InputOpen() const = 0;
  // Waits, letting the thread's messages through, until input may have come
  // or anything was dispatched (the countdown's tick among it) or the thread
  // was woken.
  virtual void AwaitInput() = 0;
};

// True when Text ends with a complete TAP block: a block end (ETX, ETB or US)
// followed by three checksum characters and CR, EOT or ESC EOT followed by CR,
// or any text holding ETX that ends with CR.
bool TapBlockComplete(const std::string& Text);

// TTapPort::ReadUntil over Input. Takes 1 ms per character received;
// Terminators is cut to its first 100 characters and a terminator longer than
// one character never matches.
int32_t TapReadUntil(TTapInput& Input, const std::string& Terminators, std::string& Line, int32_t Seconds);

// TTapPort::ReadBlock over Input. Text is left alone when the input is closed;
// otherwise it holds what arrived (a read failure keeps what came before it;
// any other failure empties it).
void TapReadBlock(TTapInput& Input, int32_t Seconds, std::string& Text);

}  // namespace vltg
