#pragma once
// Schema files of the "oracle" stand-in, written directly as a database
// administrator and the vault server's installer leave them: a new schema
// with its owner and accounts, and tables defined (or dropped) with their
// constraints enabled, in the stand-in's dictionary. The program itself
// never defines a table; the stand-in driver refuses CREATE and DROP
// TABLE.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace movrano::testing {

struct OracleLogin {
  std::string user;
  std::string password;
};

// A new schema file: the empty schema owned by `schema`, with the
// accounts that may log in to it.
void CreateOracleSchema(const std::filesystem::path& file, const std::string& schema,
                        const std::vector<OracleLogin>& accounts);

// Whether the statement is a CREATE TABLE or DROP TABLE.
bool IsOracleTableDefinition(std::string_view sql);

// Runs a CREATE TABLE or DROP TABLE on the schema file, in a transaction
// of its own, with Oracle's rules (ORA-00955, ORA-02264, ORA-02270...).
// Throws std::runtime_error naming the file for one that fails.
void DefineOracleTable(const std::filesystem::path& file, std::string_view sql);

}  // namespace movrano::testing
