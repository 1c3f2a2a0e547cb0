#pragma once
// The "oracle" driver. No Oracle client exists on this platform, so this
// stand-in keeps an Oracle schema in a SQLite file and answers what the
// program asks of Oracle the way Oracle answers it, errors included
// ("ORA-nnnnn: ..." followed by " (Oracle schema <name>)"):
//
// - the database (the TNS alias) names the schema file, which holds the
//   schema's tables, as the vault server's installer made them, and its
//   dictionary (OracleCatalog.h); the user and password must be one of its
//   accounts (ORA-01017), and the catalog (or, without one, the user) must
//   name its schema; host and port are accepted as they come;
// - names: unquoted ones fold to upper case, quoted ones keep their case
//   and must match exactly (ORA-00942 for a table, ORA-00904 for a
//   column);
// - "user_tables" and "user_constraints" list the schema's tables and
//   constraints; every constraint (primary, unique, foreign, check, NOT
//   NULL) is enforced with Oracle's errors while it is enabled;
// - the two constraint switch blocks of the Oracle table transfer are
//   recognised exactly and do what they do on Oracle (OracleCatalog.h),
//   each switch committing first;
// - CREATE, ALTER and DROP TABLE are refused: the program never defines
//   tables, and one defined past the dictionary would escape its rules;
//   any other DDL statement commits the open transaction and is committed
//   at once;
// - a value written into a column keeps the column's rules
//   (OracleValues.h); the empty text and empty bytes are NULL;
// - a column's field type comes from its declared Oracle type (VARCHAR2,
//   CHAR: text with its size; CLOB: wide memo; BLOB, RAW: BLOB; NUMBER(p)
//   by its precision; NUMBER(p,s), FLOAT, BINARY_DOUBLE: float; DATE,
//   TIMESTAMP: date-time), NOT NULL and primary-key columns are required;
// - a NUMBER(p,s) value reads as the exact decimal of the column's scale,
//   one of a NUMBER without precision as the decimal it is; a decimal
//   parameter binds exactly;
// - "?" positions are SQLite's own.
//
// Time stamps are kept as "yyyy-mm-dd hh:nn:ss[.f]" texts and read to the
// 1/10000 s. Every failure raises EDatabaseError.
#include "db/Driver.h"

namespace movrano::db {

inline constexpr const char* kOracleProtocol = "oracle";

std::unique_ptr<ConnectionBackend> OpenOracle(const ConnectionParams& params);

}  // namespace movrano::db
