#include "platform/Guid.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/Exceptions.h"

namespace movrano {

namespace {
std::array<uint8_t, 16> RandomBytes() {
  std::array<uint8_t, 16> bytes{};
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw MakeOSError(errno);
    }
    filled += static_cast<size_t>(n);
  }
  return bytes;
}
}  // namespace

std::string NewGUIDString() {
  auto bytes = RandomBytes();
  // Version 4 (random) and the standard variant, as the system generator marks them.
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  static const char kHex[] = "0123456789ABCDEF";
  std::string text = "{";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  text += '}';
  return text;
}

}  // namespace movrano
