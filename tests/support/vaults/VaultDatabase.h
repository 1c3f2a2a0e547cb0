#pragma once
// A Firebird database file at a chosen path, made through the local server
// (whose user then owns it) and dropped with the object. The folder must
// be one the server's user can write.
#include <memory>
#include <string>

#include "db/Connection.h"

namespace movrano::testing {

class VaultDatabase {
 public:
  explicit VaultDatabase(std::string path);
  ~VaultDatabase();
  VaultDatabase(const VaultDatabase&) = delete;
  VaultDatabase& operator=(const VaultDatabase&) = delete;

  const std::string& path() const { return path_; }
  // A new connection the way the engine makes one (SYSDBA, UTF8, localhost).
  std::unique_ptr<db::Connection> connect() const;
  // Runs each script: statements ended by ";", each committed; with
  // `oneTransaction` the whole script commits once (not for DDL, which
  // Firebird needs committed before the tables are used).
  void run(const std::string& script, bool oneTransaction) const;

 private:
  std::string path_;
};

}  // namespace movrano::testing
