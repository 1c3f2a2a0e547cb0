#pragma once
// One prepared Firebird statement: input messages built from the bound
// values (the server converts them to the described types), blobs
// written and read whole, rows decoded into variants.
#include <memory>

#include "db/Driver.h"
#include "db/firebird/FirebirdClient.h"

namespace movrano::db::firebird_detail {

std::unique_ptr<StatementBackend> MakeFirebirdStatement(std::shared_ptr<Session> session);

}  // namespace movrano::db::firebird_detail
