#include "support/vaults/VaultDatabase.h"

#include <filesystem>

#include "db/firebird/FirebirdDriver.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::testing {

namespace {

db::ConnectionParams ParamsFor(const std::string& path) {
  db::ConnectionParams p;
  p.protocol = db::kFirebirdProtocol;
  p.host = kFirebirdHost;
  p.database = path;
  p.user = kFirebirdUser;
  p.password = kFirebirdPassword;
  p.clientCodePage = "UTF8";
  return p;
}

}  // namespace

VaultDatabase::VaultDatabase(std::string path) : path_(std::move(path)) {
  db::CreateFirebirdDatabase(ParamsFor(path_));
}

VaultDatabase::~VaultDatabase() {
  try {
    db::DropFirebirdDatabase(ParamsFor(path_));
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
}

std::unique_ptr<db::Connection> VaultDatabase::connect() const {
  const db::ConnectionParams p = ParamsFor(path_);
  auto c = std::make_unique<db::Connection>();
  c->setProtocol(p.protocol);
  c->setHostName(p.host);
  c->setDatabase(p.database);
  c->setUser(p.user);
  c->setPassword(p.password);
  c->setClientCodepage(p.clientCodePage);
  c->connect();
  return c;
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
