#pragma once
// The "oracle" driver. No Oracle client exists on this platform, so this
// stand-in keeps an Oracle schema in a SQLite file and answers what the
// program asks of Oracle, with Oracle's rules where they differ:
//
// - the database (the TNS alias) names the SQLite file, which must exist
//   (the schema is made before the server is installed into it); host,
//   port, user and password are accepted as they come; the catalog names
//   the schema in messages;
// - "user_tables" lists the schema's tables (column "table_name");
// - the two constraint switch blocks of the Oracle table transfer are
//   recognised exactly: each commits the open transaction first (Oracle
//   commits at every DDL statement), then switches foreign-key enforcement
//   off or on; switching it on validates the rows and fails, leaving it
//   off, when a row refers to a missing parent;
// - a DDL statement (CREATE, ALTER, DROP...) commits the open transaction
//   and is committed at once;
// - an empty text or an empty byte string binds as NULL, as Oracle keeps
//   the empty string as NULL;
// - a column's field type comes from its declared Oracle type (VARCHAR2,
//   CHAR: text with its size; CLOB: wide memo; BLOB, RAW: BLOB; NUMBER(p)
//   by its precision; NUMBER(p,s), FLOAT, BINARY_DOUBLE: float; DATE,
//   TIMESTAMP: date-time), NOT NULL and primary-key columns are required;
// - double-quoted identifiers and "?" positions are SQLite's own.
//
// Time stamps are kept as "yyyy-mm-dd hh:nn:ss[.zzz]" texts. Every failure
// raises EDatabaseError.
#include "db/Driver.h"

namespace movrano::db {

inline constexpr const char* kOracleProtocol = "oracle";

std::unique_ptr<ConnectionBackend> OpenOracle(const ConnectionParams& params);

}  // namespace movrano::db
