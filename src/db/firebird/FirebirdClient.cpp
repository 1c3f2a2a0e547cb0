#include "db/firebird/FirebirdClient.h"

#include <string>

#include "platform/Text.h"

namespace movrano::db::firebird_detail {

[[noreturn]] void ThrowDbError(const FbException& e) {
  char buffer[2048];
  Master()->getUtilInterface()->formatStatus(buffer, sizeof buffer, e.getStatus());
  std::string text = buffer;
  for (auto& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  const ISC_STATUS* errors = e.getStatus()->getErrors();
  throw EDatabaseError(TrimRight(text), static_cast<int>(isc_sqlcode(errors)),
                       static_cast<long>(errors[1]));
}

}  // namespace movrano::db::firebird_detail
