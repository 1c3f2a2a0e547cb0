#include "support/services/ContentCoding.h"

#include <zlib.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace movrano::testing {
namespace {

int WindowBits(std::string_view coding) {
  if (coding == "gzip") return 15 + 16;
  if (coding == "deflate") return 15;
  if (coding == "raw deflate") return -15;
  throw std::invalid_argument("no such content coding: " + std::string(coding));
}

// Deflates what `next` hands out piece by piece (an empty piece ends it).
std::string Deflate(std::string_view coding, const std::function<std::string_view()>& next) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, WindowBits(coding), 9, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    throw std::runtime_error("zlib cannot start deflating");
  std::string out;
  std::vector<unsigned char> buffer(size_t{1} << 16);
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0) {
      const std::string_view piece = next();
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
      z.avail_in = static_cast<uInt>(piece.size());
    }
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    rc = deflate(&z, z.avail_in == 0 ? Z_FINISH : Z_NO_FLUSH);
    if (rc == Z_STREAM_ERROR) break;
    out.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - z.avail_out);
  }
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("zlib failed to deflate");
  return out;
}

}  // namespace

std::string Encode(std::string_view coding, std::string_view data) {
  bool given = false;
  return Deflate(coding, [&] { return std::exchange(given, true) ? std::string_view() : data; });
}

EncodedAnswer GzipBomb(size_t decodedBytes) {
  const std::string spaces(size_t{1} << 20, ' ');
  size_t left = decodedBytes;
  const std::string once = Deflate("gzip", [&] {
    const size_t n = std::min(left, spaces.size());
    left -= n;
    return std::string_view(spaces).substr(0, n);
  });
  return {"gzip, gzip", Encode("gzip", once)};
}

}  // namespace movrano::testing
