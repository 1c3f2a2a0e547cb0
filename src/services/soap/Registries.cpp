#include "services/soap/Registries.h"

namespace movrano::soap {

Registries& GlobalRegistries() {
  static Registries registries;
  return registries;
}

}  // namespace movrano::soap
