#pragma once
// Reaches into one engine for tests of its steps: lends it connections and
// a row total, runs a step, and reads back what the step left. The engine
// keeps these protected; the probe names them through a derived class and
// applies them to the engine it is given.
#include <memory>
#include <string>
#include <vector>

#include "engine/VaultMigrationManager.h"

namespace movrano {

namespace probe_detail {

// Never made: only names the protected members, as pointers to members that
// apply to any engine.
struct Members : TVaultMigrationManager {
  static constexpr auto sourceDatabase() { return &Members::FSourceDatabase; }
  static constexpr auto destDatabase() { return &Members::FDestDatabase; }
  static constexpr auto totalItems() { return &Members::FTotalItems; }
  static constexpr auto copiedItems() { return &Members::FCopiedItems; }
  static constexpr auto requiredUsers() { return &Members::FRequiredUsers; }
  static constexpr auto copyTable() { return &Members::CopyTable; }
  static constexpr auto toOrganisation() { return &Members::ConvertToOrganisationGUID; }
  static constexpr auto checkVersions() { return &Members::CheckVersions; }
  static constexpr auto checkDestinationEmpty() { return &Members::CheckDestinationEmpty; }
};

}  // namespace probe_detail

class TVaultMigrationManagerProbe {
  using M = probe_detail::Members;

 public:
  explicit TVaultMigrationManagerProbe(TVaultMigrationManager& engine) : e_(engine) {}

  void setConnections(std::unique_ptr<db::Connection> source,
                      std::unique_ptr<db::Connection> dest) {
    e_.*M::sourceDatabase() = std::move(source);
    e_.*M::destDatabase() = std::move(dest);
  }
  void setTotalItems(int32_t total) { e_.*M::totalItems() = total; }
  int32_t totalItems() const { return e_.*M::totalItems(); }
  int32_t copiedItems() const { return e_.*M::copiedItems(); }
  db::Connection& source() { return *(e_.*M::sourceDatabase()); }
  db::Connection& dest() { return *(e_.*M::destDatabase()); }

  void copyTable(const std::string& source, const std::string& dest, const std::string& caption,
                 const std::vector<std::string>& fields = {}, bool toOrganisation = false) {
    TConvertProc convert;
    if (toOrganisation) {
      convert = [this](const std::string& v) { return (e_.*M::toOrganisation())(v); };
    }
    (e_.*M::copyTable())(source, dest, caption, fields, convert);
  }
  void checkVersions(TMigrationMode mode) { (e_.*M::checkVersions())(mode); }
  void checkDestinationEmpty() { (e_.*M::checkDestinationEmpty())(); }

  std::vector<std::string> requiredUserKeys() const {
    std::vector<std::string> keys;
    for (const auto& [k, v] : e_.*M::requiredUsers())
      keys.push_back(k);
    return keys;
  }

 private:
  TVaultMigrationManager& e_;
};

}  // namespace movrano
