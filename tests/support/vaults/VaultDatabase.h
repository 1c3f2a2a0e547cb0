#pragma once
// A Firebird database file at a chosen path, made through the local server
// (whose user then owns it) or copied from a finished one, and dropped with
// the object. The folder must be one the server's user can write.
#include <memory>
#include <string>

#include "db/Connection.h"

namespace movrano::testing {

class VaultDatabase {
 public:
  // An empty database.
  explicit VaultDatabase(std::string path);
  // A copy of a finished database file that nothing holds open
  // (CopyDatabaseFile).
  struct CopyOf {
    std::string file;
  };
  VaultDatabase(std::string path, const CopyOf& finished);
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

// Whether this process may copy database files: the copy must belong to
// the server's user, which only root can give it.
bool CanCopyDatabaseFiles();

// Waits (bounded) until no process holds the file open: the server closes
// a database at its last detach, and a file it still writes would be
// copied half-written.
void WaitUntilClosed(const std::string& file);

// Copies a database file that nothing holds open. `to` is made new (never
// through a link) with the owner, group and mode of `from`; a copy that
// fails is removed.
void CopyDatabaseFile(const std::string& from, const std::string& to);

}  // namespace movrano::testing
