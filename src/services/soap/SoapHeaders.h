#pragma once
// The header interface of a client: Send attaches a header object to the
// next call made through that client only. The headers go in attach order,
// the same object at most once; the client never frees them, so a header
// must stay alive until that call has been sent.
#include <vector>

#include "services/soap/Remotable.h"

namespace movrano::soap {

class ISOAPHeaders {
 public:
  virtual void Send(SOAPHeader* header) = 0;
  // Takes a header back before the next call, when it is still waiting:
  // an owner that goes before that call must not leave it behind.
  virtual void Withdraw(const SOAPHeader* header) = 0;

 protected:
  ~ISOAPHeaders() = default;
};

// The headers waiting for the next call.
class PendingHeaders final : public ISOAPHeaders {
 public:
  void Send(SOAPHeader* header) override;
  void Withdraw(const SOAPHeader* header) override;

  // Hands the headers to a call and forgets them.
  std::vector<SOAPHeader*> Take();

 private:
  std::vector<SOAPHeader*> pending_;
};

}  // namespace movrano::soap
