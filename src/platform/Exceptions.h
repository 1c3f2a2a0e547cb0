#pragma once
// The program's exception vocabulary: one base class that knows its own
// class name (the worker's error line prints it), and the standard classes
// of the runtime that reach the worker unchanged.
#include <exception>
#include <stdexcept>
#include <string>

namespace movrano {

// The standard exception class: a message and a stable class name.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  virtual const char* className() const noexcept { return "Exception"; }
  std::string message() const { return what(); }
};

#define MOVRANO_DECLARE_EXCEPTION(Name, Base)                         \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* className() const noexcept override { return #Name; } \
  }

MOVRANO_DECLARE_EXCEPTION(EConvertError, Exception);
MOVRANO_DECLARE_EXCEPTION(ERangeError, Exception);
MOVRANO_DECLARE_EXCEPTION(EVariantTypeCastError, Exception);
MOVRANO_DECLARE_EXCEPTION(EAssertionFailed, Exception);
MOVRANO_DECLARE_EXCEPTION(EFileError, Exception);

// A failure of the operating system, with its error code.
class EOSError : public Exception {
 public:
  EOSError(int errorCode, const std::string& message) : Exception(message), errorCode_(errorCode) {}
  const char* className() const noexcept override { return "EOSError"; }
  int errorCode() const noexcept { return errorCode_; }

 private:
  int errorCode_;
};

// The operating system's error for an errno value: "System Error.  Code: %d."
// followed by a line break and the system's text for the code.
EOSError MakeOSError(int errorCode);

// The class name of any exception, as the error line shows it.
const char* ExceptionClassName(const std::exception& e) noexcept;

}  // namespace movrano
