#pragma once
// TSockStream: a stream over a TSock. Reads take what the socket has received,
// writes send; a socket has no position to seek.
#include <cstdint>

namespace vltg {

class TSock;

class TSockStream {
 public:
  explicit TSockStream(TSock& sock) : sock_(sock) {}

  // Copies up to `count` received bytes into `buffer`; the number copied, 0
  // when the socket cannot be read.
  int Read(void* buffer, int count);
  // Sends `count` bytes; returns `count`. A failed send raises ESockException
  // "Send Socket Disconnected!".
  int Write(const void* buffer, int count);
  int64_t Seek(int64_t offset, int origin);

 private:
  TSock& sock_;
};

}  // namespace vltg
