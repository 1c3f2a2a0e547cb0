#include "common/Utils.h"

namespace movrano {

const char* MigrationModeName(TMigrationMode mode) {
  switch (mode) {
    case TMigrationMode::mmOutpostToTVS:
      return "mmOutpostToTVS";
    case TMigrationMode::mmOutpostToSVS:
      return "mmOutpostToSVS";
    case TMigrationMode::mmSVSToTVS:
      return "mmSVSToTVS";
    case TMigrationMode::mmUpdateTVSCatalog:
      return "mmUpdateTVSCatalog";
    case TMigrationMode::mmTVSFirebirdToTVSOracle:
      return "mmTVSFirebirdToTVSOracle";
    case TMigrationMode::mmSVSToTVSOffline:
      return "mmSVSToTVSOffline";
  }
  return "";
}

void RaiseMigrationError(const std::string& message) {
  throw EMovrano(message);
}

void RaiseMigrationErrorFmt(std::string_view format, const std::vector<FormatArg>& values) {
  throw EMovrano(FormatList(format, values));
}

}  // namespace movrano
