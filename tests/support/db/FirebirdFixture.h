#pragma once
// Fresh Firebird databases on the local server for tests: each one a new
// file in a folder the server's user can write, dropped at the end.
#include <memory>
#include <string>
#include <vector>

#include "db/Connection.h"

namespace movrano::testing {

// The account and host every test (and the engine) uses.
inline constexpr const char* kFirebirdUser = "SYSDBA";
inline constexpr const char* kFirebirdPassword = "quartzfen";
inline constexpr const char* kFirebirdHost = "localhost";

// The engine's way to reach a database file: "firebird-2.1" on localhost,
// SYSDBA, client code page UTF8; `port` 0 is the server's own.
db::ConnectionParams TestConnectionParams(const std::string& path);
std::unique_ptr<db::Connection> ConnectTestDatabase(const std::string& path, int port = 0);

// A temporary folder, made once per process, that the server can write.
const std::string& FirebirdTempFolder();

class TempFirebirdDatabase {
 public:
  // Creates the file through the server. Throws std::runtime_error with a
  // clear message when no server answers on localhost:3050.
  explicit TempFirebirdDatabase(const std::string& name = "test");
  // A database of the older SQL dialect 1, where NUMERIC(15,2) is a double
  // with a scale.
  static TempFirebirdDatabase Dialect1(const std::string& name);
  ~TempFirebirdDatabase();
  TempFirebirdDatabase(const TempFirebirdDatabase&) = delete;
  TempFirebirdDatabase& operator=(const TempFirebirdDatabase&) = delete;

  const std::string& path() const { return path_; }
  // A new connected connection: protocol "firebird-2.1", host localhost,
  // SYSDBA, client code page UTF8.
  std::unique_ptr<db::Connection> connect() const;
  // Runs a script of statements ended by ";" (SET TERM changes the end
  // mark), each committed, in the database's own dialect.
  void execScript(const std::string& script) const;

 private:
  TempFirebirdDatabase(const std::string& name, int dialect);
  std::string path_;
  int dialect_ = 3;
};

// Runs a script on an open connection (same rules as execScript).
void ExecScript(db::Connection& connection, const std::string& script);

// The statements of a script, without comments, SET TERM and COMMIT lines.
std::vector<std::string> SplitScript(const std::string& script);

}  // namespace movrano::testing
