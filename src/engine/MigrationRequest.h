#pragma once
// Everything one run is set up from: the window's fields, the versions it
// found, the mode, the Oracle record and the callbacks through which the
// run reports. The worker takes it whole and hands it on to the engine,
// with its own relays in place of the log and progress callbacks.
#include <memory>
#include <string>

#include "common/Utils.h"
#include "services/ServiceEndpoints.h"

namespace movrano {

class IDSPort;

struct MigrationRequest {
  std::string SourceDatabaseFile;
  std::string SourceFileRepositoryPath;
  std::string DestVaultPath;
  std::string UserName;
  std::string UserPass;
  // Only logged; either may be empty.
  std::string SourceVersion;
  std::string DestVersion;
  TMigrationMode MigrationMode{};
  // Each may be unset.
  TLogCallBack LogProc;
  TUpdateStatusCallBack UpdateStatusProc;
  TProgressEvent ProgressEvent;
  TTVSOracleParams TVSOracleParams;
  // Null: the engine makes its own client for the identity service's
  // endpoint.
  std::shared_ptr<IDSPort> IDSService;
  // Where the catalog migration asks the global catalog service.
  std::string CatalogEndpoint = kDefaultTavrinGlobalCatalogEndpoint;
};

}  // namespace movrano
