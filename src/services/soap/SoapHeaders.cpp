#include "services/soap/SoapHeaders.h"

#include <algorithm>
#include <utility>

#include "platform/Exceptions.h"

namespace movrano::soap {

void PendingHeaders::Send(SOAPHeader* header) {
  if (!header) throw EAssertionFailed("Assertion failure: no SOAP header object to send");
  if (std::find(pending_.begin(), pending_.end(), header) == pending_.end())
    pending_.push_back(header);
}

void PendingHeaders::Withdraw(const SOAPHeader* header) {
  std::erase(pending_, header);
}

std::vector<SOAPHeader*> PendingHeaders::Take() {
  return std::exchange(pending_, {});
}

}  // namespace movrano::soap
