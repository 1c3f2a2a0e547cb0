#pragma once
// Reaches into one engine for tests of its steps: lends it connections and
// a row total, runs a step, and reads back what the step left.
#include <memory>
#include <string>
#include <vector>

#include "engine/VaultMigrationManager.h"

namespace movrano {

class TVaultMigrationManagerProbe {
 public:
  explicit TVaultMigrationManagerProbe(TVaultMigrationManager& engine) : e_(engine) {}

  void setConnections(std::unique_ptr<db::Connection> source,
                      std::unique_ptr<db::Connection> dest) {
    e_.FSourceDatabase = std::move(source);
    e_.FDestDatabase = std::move(dest);
  }
  void setTotalItems(int32_t total) { e_.FTotalItems = total; }
  int32_t totalItems() const { return e_.FTotalItems; }
  int32_t copiedItems() const { return e_.FCopiedItems; }
  db::Connection& source() { return *e_.FSourceDatabase; }
  db::Connection& dest() { return *e_.FDestDatabase; }

  void copyTable(const std::string& source, const std::string& dest, const std::string& caption,
                 const std::vector<std::string>& fields = {}, bool toOrganisation = false) {
    TConvertProc convert;
    if (toOrganisation) {
      convert = [this](const std::string& v) { return e_.ConvertToOrganisationGUID(v); };
    }
    e_.CopyTable(source, dest, caption, fields, convert);
  }
  void checkVersions(TMigrationMode mode) { e_.CheckVersions(mode); }
  void checkDestinationEmpty() { e_.CheckDestinationEmpty(); }

  std::vector<std::string> requiredUserKeys() const {
    std::vector<std::string> keys;
    for (const auto& [k, v] : e_.FRequiredUsers)
      keys.push_back(k);
    return keys;
  }

 private:
  TVaultMigrationManager& e_;
};

}  // namespace movrano
