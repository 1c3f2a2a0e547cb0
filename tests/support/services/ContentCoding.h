#pragma once
// Answers in HTTP content codings, for the loopback servers: "gzip",
// "deflate" (the zlib format HTTP names so) and "raw deflate" (the bare
// stream some servers send under "deflate"), and a compression bomb.
#include <cstddef>
#include <string>
#include <string_view>

namespace movrano::testing {

std::string Encode(std::string_view coding, std::string_view data);

// A few kilobytes under "gzip, gzip" that decode to `decodedBytes` spaces;
// made piecewise, so that the decoded answer is never held here either.
struct EncodedAnswer {
  std::string coding, bytes;
};
EncodedAnswer GzipBomb(size_t decodedBytes);

}  // namespace movrano::testing
