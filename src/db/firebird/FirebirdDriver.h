#pragma once
// The "firebird-2.1" driver: Firebird through the client's object API.
// Host "localhost" (or any host name) reaches that server over TCP; an
// empty host opens the file directly.
#include "db/Driver.h"

namespace movrano::db {

inline constexpr const char* kFirebirdProtocol = "firebird-2.1";

std::unique_ptr<ConnectionBackend> OpenFirebird(const ConnectionParams& params);

// Creates an empty database file (default character set UTF8) through the
// server named in the parameters, and drops one. Both raise EDatabaseError.
void CreateFirebirdDatabase(const ConnectionParams& params, int pageSize = 8192);
void DropFirebirdDatabase(const ConnectionParams& params);

}  // namespace movrano::db
