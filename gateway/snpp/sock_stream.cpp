#include "gateway/snpp/sock_stream.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "gateway/snpp/sock.h"
#include "platform/messages/message_queue.h"

namespace vltg {

int TSockStream::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  try {
    const std::string data = sock_.ReceiveCount(count);
    const size_t n = std::min(data.size(), static_cast<size_t>(count));
    std::memcpy(buffer, data.data(), n);
    return static_cast<int>(n);
  } catch (const std::exception&) {
    return 0;
  }
}

int TSockStream::Write(const void* buffer, int count) {
  platform::SleepPumping(1);
  try {
    sock_.SendText(std::string(static_cast<const char*>(buffer), count > 0 ? static_cast<size_t>(count) : 0));
  } catch (const std::exception&) {
    throw ESockException("Send Socket Disconnected!");
  }
  return count;
}

int64_t TSockStream::Seek(int64_t, int) { return 0; }

}  // namespace vltg
