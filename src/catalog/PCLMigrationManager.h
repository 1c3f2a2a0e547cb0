#pragma once
// The part catalog migration: fills an empty part catalog of a destination
// vault from the global catalog service, for the part GUIDs its item
// revision archives list. Borrows the engine's destination connection.
#include <string>

#include "db/Connection.h"
#include "engine/Utils.h"

namespace movrano {

class TPCLMigrationManager {
 public:
  TPCLMigrationManager(db::Connection& aDestDatabase, TLogCallBack aLogCallBack,
                       std::string aDestFileStoragePath, std::string aSessionID);

  // Whether the destination's database has a part catalog at all.
  bool PCLExists();
  void CheckPCLIsEmpty();
  void GetPCLGUIDs();
  void CopyPCLData();

 private:
  db::Connection& FDestDatabase;
  TLogCallBack FLogCallBack;
  std::string FDestFileStoragePath;
  std::string FSessionID;
};

}  // namespace movrano
