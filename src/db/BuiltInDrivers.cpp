#include <mutex>

#include "db/Driver.h"
#include "db/firebird/FirebirdDriver.h"
#include "db/oracle/OracleDriver.h"

namespace movrano::db {

void RegisterBuiltInDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDriver(kFirebirdProtocol, OpenFirebird);
    RegisterDriver(kOracleProtocol, OpenOracle);
  });
}

}  // namespace movrano::db
