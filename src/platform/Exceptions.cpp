#include "platform/Exceptions.h"

#include <new>
#include <system_error>

#include "platform/Text.h"

namespace movrano {

EOSError MakeOSError(int errorCode) {
  const std::string text = std::system_category().message(errorCode);
  return EOSError(errorCode, Format("System Error.  Code: %d.\n%s", errorCode, text));
}

const char* ExceptionClassName(const std::exception& e) noexcept {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->className();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  if (dynamic_cast<const std::out_of_range*>(&e)) return "ERangeError";
  return "Exception";
}

}  // namespace movrano
