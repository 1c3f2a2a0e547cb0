#include "app/MigrationModes.h"

namespace movrano {

namespace {

constexpr const char* kProceed = "Do you want to proceed now?";

}  // namespace

std::optional<TMigrationMode> ModeFromSelection(int itemIndex, bool offlineTicked) {
  if (itemIndex < 0 || itemIndex > kLastModeItem) return std::nullopt;
  const auto mode = static_cast<TMigrationMode>(itemIndex);
  if (mode == TMigrationMode::mmSVSToTVS && offlineTicked) return TMigrationMode::mmSVSToTVSOffline;
  return mode;
}

int ModeItemIndex(TMigrationMode mode) {
  if (mode == TMigrationMode::mmSVSToTVSOffline)
    return static_cast<int>(TMigrationMode::mmSVSToTVS);
  return static_cast<int>(mode);
}

const char* MigrationModeDescription(TMigrationMode mode) {
  switch (mode) {
    case TMigrationMode::mmOutpostToTVS:
      return "In this mode data from a Outpost vault will be transferred to a Tavrin Vault. "
             "Migration is possible only to the latest and empty Tavrin Vault.";
    case TMigrationMode::mmOutpostToSVS:
      return "In this mode data from a Outpost vault to a Solo Vault. Solo Vault must be one of "
             "the latest versions and empty.";
    case TMigrationMode::mmSVSToTVS:
      return "This option migrates data from latest version of Solo Vault to latest and empty "
             "Tavrin Vault installation. Part choice lists will be converted and transferred to "
             "local Catalog service.";
    case TMigrationMode::mmUpdateTVSCatalog:
      return "This options updates the supply chain information in a Tavrin Vault database to "
             "make it compatible with Tavrin Vault 1.1 and above. Choose this option if you are "
             "sure, that you catalog data requires migration.";
    case TMigrationMode::mmTVSFirebirdToTVSOracle:
      return "This option migrates data from latest version of Tavrin Vault on Firebird database "
             "to Tavrin Vault on Oracle database installation.";
    case TMigrationMode::mmSVSToTVSOffline:
      return "This option migrates data from latest version of Solo Vault to latest and empty "
             "Tavrin Vault installation";
  }
  return "";
}

std::string ConfirmationQuestion(TMigrationMode mode) {
  const auto lines = [](std::initializer_list<const char*> parts) {
    std::string text;
    for (const char* part : parts)
      text += std::string(part) + "\r\n";
    return text + kProceed;
  };
  switch (mode) {
    case TMigrationMode::mmOutpostToTVS:
    case TMigrationMode::mmOutpostToSVS:
      return lines(
          {"This will import the data from Outpost Vault and Global Catalog to Target Vault."});
    case TMigrationMode::mmSVSToTVS:
      return lines(
          {"This will migrate the data from Solo Vault and Global Catalog to Tavrin Vault."});
    case TMigrationMode::mmUpdateTVSCatalog:
      return lines(
          {"This will import the supply chain information you are using from the Global "
           "Catalog, in your local Catalog.",
           "It is necessary for TVS 1.2 and above to function correctly."});
    case TMigrationMode::mmTVSFirebirdToTVSOracle:
      return lines(
          {"This will migrate the data from Tavrin Vault Firebird based database to "
           "Tavrin Vault Oracle based database."});
    case TMigrationMode::mmSVSToTVSOffline:
      return lines({"This will migrate the data from Solo Vault to Tavrin Vault."});
  }
  return kProceed;
}

}  // namespace movrano
