#include "support/vaults/VaultDatabase.h"

#include <filesystem>

#include "db/firebird/FirebirdDriver.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::testing {

VaultDatabase::VaultDatabase(std::string path) : path_(std::move(path)) {
  db::CreateFirebirdDatabase(TestConnectionParams(path_));
}

VaultDatabase::~VaultDatabase() {
  try {
    db::DropFirebirdDatabase(TestConnectionParams(path_));
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
}

std::unique_ptr<db::Connection> VaultDatabase::connect() const {
  return ConnectTestDatabase(path_);
}

void VaultDatabase::run(const std::string& script, bool oneTransaction) const {
  auto c = connect();
  if (!oneTransaction) {
    ExecScript(*c, script);
    return;
  }
  c->startTransaction();
  ExecScript(*c, script);
  c->commit();
}

}  // namespace movrano::testing
