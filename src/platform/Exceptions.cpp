#include "platform/Exceptions.h"

#include <new>

namespace movrano {

const char* ExceptionClassName(const std::exception& e) noexcept {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->className();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  if (dynamic_cast<const std::out_of_range*>(&e)) return "ERangeError";
  return "Exception";
}

}  // namespace movrano
