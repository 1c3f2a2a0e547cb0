#pragma once
// The baseline the layer is measured against: a prepared insert executed
// in a loop straight over the Firebird client's object API.
#include <string>

namespace movrano::bench {

struct VaultRowTable {
  static constexpr const char* kCreate =
      "create table BENCH_ITEM (GUID varchar(38) not null primary key, HRID varchar(100) not null, "
      "CREATEDBYGUID varchar(38), LASTMODIFIEDBYGUID varchar(38), CREATED timestamp, "
      "DESCRIPTION blob sub_type text)";
  static constexpr const char* kInsert =
      "insert into BENCH_ITEM (GUID, HRID, CREATEDBYGUID, LASTMODIFIEDBYGUID, CREATED, "
      "DESCRIPTION) values (?, ?, ?, ?, ?, ?)";
};

// The values of row i, shared by every loop so that all insert the same rows.
std::string RowGuid(int i);
std::string RowHrid(int i);
std::string RowUserGuid(int i);
std::string RowDescription(int i);

// Inserts `rows` rows into BENCH_ITEM of the database and commits; returns
// the seconds the loop took (prepare included).
double RawInsertLoop(const std::string& databasePath, int rows);

}  // namespace movrano::bench
