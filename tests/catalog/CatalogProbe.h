#pragma once
// Reaches into one catalog migration object for tests: the part GUIDs its
// discovery found (or a list to copy for), and its storage root.
#include <string>
#include <vector>

#include "catalog/PCLMigrationManager.h"

namespace movrano {

class TPCLMigrationManagerProbe {
 public:
  explicit TPCLMigrationManagerProbe(TPCLMigrationManager& manager) : m_(manager) {}

  const std::vector<std::string>& guids() const { return m_.FPCLGUIDs; }
  void setGuids(std::vector<std::string> guids) { m_.FPCLGUIDs = std::move(guids); }
  const std::string& storageRoot() const { return m_.FDestFileStoragePath; }

 private:
  TPCLMigrationManager& m_;
};

}  // namespace movrano
