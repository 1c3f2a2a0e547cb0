#include "support/services/ServiceTypes.h"

#include <mutex>

#include "services/IDS.h"
#include "services/TavrinGlobalCatalog.h"

namespace movrano::testing {

void RegisterServiceTypesOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterIDSTypes();
    RegisterTavrinGlobalCatalogTypes();
  });
}

}  // namespace movrano::testing
