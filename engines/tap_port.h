#pragma once
// The five port operations the TAP dialogue runs on. The engine implements them
// over its COM port; tests implement them over a scripted caller. Reads wait
// through the message layer and count their windows on its clock.
#include <cstdint>
#include <string>

namespace vltg {

class TTapPort {
 public:
  virtual ~TTapPort() = default;

  // Reads and discards all waiting input. A read failure is raised.
  virtual void FlushInput() = 0;
  // Sends the text; a failed write is not raised, only the result says so.
  virtual bool SendString(const std::string& Text) = 0;
  // Collects input into Line until a terminator character arrives and returns
  // its index in Terminators (single characters separated by "|"; the dialogue
  // only uses CR, index 0). -1 when the window of Seconds ran out, the input
  // ended or a read failed; Line then holds what did arrive. Characters that
  // came after the terminator in the same read are lost.
  virtual int32_t ReadUntil(const std::string& Terminators, std::string& Line, int32_t Seconds) = 0;
  // Collects input into Text for up to Seconds, returning early once a
  // complete block has arrived (TapBlockComplete).
  virtual void ReadBlock(int32_t Seconds, std::string& Text) = 0;
  // Ends the current call; afterwards the engine is no longer attached.
  virtual void DropCall() = 0;
};

}  // namespace vltg
