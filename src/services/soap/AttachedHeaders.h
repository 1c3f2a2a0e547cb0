#pragma once
// Headers attached to a client's next call for as long as this object
// lives: when it goes, whatever no call has taken is withdrawn, so that an
// exception or an early return never leaves a header waiting for someone
// else's call, nor pointing at an object that is gone. The header objects
// stay their owner's and must outlive this one.
#include <initializer_list>
#include <vector>

#include "services/soap/SoapHeaders.h"

namespace movrano::soap {

class AttachedHeaders {
 public:
  // In the order given; a null header fails with EAssertionFailed, and
  // those attached before it are withdrawn again.
  AttachedHeaders(ISOAPHeaders& headers, std::vector<SOAPHeader*> attached);
  AttachedHeaders(ISOAPHeaders& headers, std::initializer_list<SOAPHeader*> attached)
      : AttachedHeaders(headers, std::vector<SOAPHeader*>(attached)) {}
  ~AttachedHeaders();

  AttachedHeaders(const AttachedHeaders&) = delete;
  AttachedHeaders& operator=(const AttachedHeaders&) = delete;

 private:
  explicit AttachedHeaders(ISOAPHeaders& headers) : headers_(headers) {}

  ISOAPHeaders& headers_;
  std::vector<SOAPHeader*> attached_;
};

}  // namespace movrano::soap
