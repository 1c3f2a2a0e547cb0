#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>

#include "platform/Text.h"

extern char** environ;

namespace movrano {

std::optional<std::string> EnvironmentVariable(std::string_view name) {
  if (name.empty()) return std::nullopt;
  const std::string exact(name);
  if (const char* value = std::getenv(exact.c_str())) return std::string(value);
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* eq = std::strchr(*entry, '=');
    if (!eq) continue;
    if (SameText(std::string_view(*entry, static_cast<size_t>(eq - *entry)), name)) {
      return std::string(eq + 1);
    }
  }
  return std::nullopt;
}

std::string ExpandEnvironmentStrings(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('%', pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const auto value = EnvironmentVariable(text.substr(open + 1, close - open - 1));
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      // Undefined: keep the "%Name" and let the closing "%" open the next one.
      out.append(text.substr(open, close - open));
      pos = close;
    }
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace movrano
