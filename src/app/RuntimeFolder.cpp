#include "app/RuntimeFolder.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace movrano {

namespace {

constexpr const char* kVariable = "XDG_RUNTIME_DIR";

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

std::string TemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp == '/' ? tmp : "/tmp";
}

}  // namespace

PrivateRuntimeFolder::PrivateRuntimeFolder() {
  if (IsSet(kVariable)) return;
  const bool wasEmpty = std::getenv(kVariable) != nullptr;
  // mkdtemp makes a new folder of mode 0700 under a name nobody could
  // have chosen before: nothing planted there is ever taken.
  std::string name = TemporaryFolder() + "/movrano-runtime-XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) return;
  if (::setenv(kVariable, name.c_str(), 1) != 0) {
    std::error_code ignored;
    std::filesystem::remove(name, ignored);
    return;
  }
  path_ = name;
  wasEmpty_ = wasEmpty;
}

PrivateRuntimeFolder::~PrivateRuntimeFolder() {
  if (path_.empty()) return;
  if (wasEmpty_) {
    ::setenv(kVariable, "", 1);
  } else {
    ::unsetenv(kVariable);
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace movrano
