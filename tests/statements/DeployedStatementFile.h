#pragma once
// The deployment's statement file for the tests of this folder, loaded once
// into the process-wide catalogue.
#include <string>

#include "db/Connection.h"
#include "db/Variant.h"

namespace movrano::testing {

// Loads data/Movrano.sql on the first call; later calls do nothing.
void LoadDeploymentStatements();

// The first column of the named statement's first row, or Null.
db::Variant ReadValue(db::Connection& connection, const std::string& statement);

}  // namespace movrano::testing
