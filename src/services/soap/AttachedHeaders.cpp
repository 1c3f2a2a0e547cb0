#include "services/soap/AttachedHeaders.h"

namespace movrano::soap {

// Delegates first: once the plain constructor has run, a Send that fails
// below still runs the destructor, which withdraws what went before.
AttachedHeaders::AttachedHeaders(ISOAPHeaders& headers, std::vector<SOAPHeader*> attached)
    : AttachedHeaders(headers) {
  attached_.reserve(attached.size());
  for (SOAPHeader* header : attached) {
    headers_.Send(header);
    attached_.push_back(header);
  }
}

AttachedHeaders::~AttachedHeaders() {
  for (const SOAPHeader* header : attached_)
    headers_.Withdraw(header);
}

}  // namespace movrano::soap
