#pragma once
// What an Oracle column does with the value written into it, as SQLite
// functions of the stand-in's connections:
//
// - ORA_VALUE(value, declared type, column): the value as the column keeps
//   it, or Oracle's error: VARCHAR2(n) counts bytes (characters with CHAR)
//   and CHAR(n) is padded with blanks (ORA-12899 when too long); NUMBER
//   takes numbers and numeric text (ORA-01722), rounds to its scale and
//   refuses more digits than its precision (ORA-01438), keeping every
//   digit (a value wider than a double's 15 digits as its text); DATE and
//   TIMESTAMP take valid date texts only (ORA-01861, ORA-01843...), DATE
//   without a fraction of a second, TIMESTAMP(n) with n digits of it;
//   BLOB takes bytes only and CLOB and text columns no bytes (ORA-00932);
//   the empty text and empty bytes are NULL.
// - ORA_NAME(stored name): the name as Oracle spells it.
#include <sqlite3.h>

namespace movrano::db::oracle_detail {

void RegisterOracleFunctions(sqlite3* db);

}  // namespace movrano::db::oracle_detail
