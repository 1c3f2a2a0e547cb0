#include "platform/Rights.h"

#include <unistd.h>

#include "platform/Platform.h"

namespace movrano {

bool EffectiveUserRights::isUserAdmin() const {
  return geteuid() == 0;
}

bool IsUserAdmin() {
  return CurrentPlatform().rights->isUserAdmin();
}

}  // namespace movrano
