#include "statements/DeployedStatementFile.h"

#include "statements/uSQLManager.h"
#include "statements/uSQLUtils.h"

namespace movrano::testing {

void LoadDeploymentStatements() {
  static const bool loaded = [] {
    CreateSQLManager();
    SQLManager().LoadFromFile(MOVRANO_STATEMENT_FILE);
    return true;
  }();
  (void)loaded;
}

db::Variant ReadValue(db::Connection& connection, const std::string& statement) {
  LoadDeploymentStatements();
  db::Variant value;
  GetValue(connection, statement, value);
  return value;
}

}  // namespace movrano::testing
