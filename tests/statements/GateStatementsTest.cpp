// The version gates' statements of the deployment's statement file answer
// on the sample vaults, current and outdated, as the gates need.
#include <gtest/gtest.h>

#include "statements/DeployedStatementFile.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {
namespace {

// What a gate statement answers.
struct Answer {
  enum Kind { Null, Text } kind;
  std::string text;
};

struct GateCase {
  const char* name;
  VaultEdition edition;
  VaultOptions options;
  const char* statement;
  Answer answer;
};

void PrintTo(const GateCase& c, std::ostream* out) {
  *out << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<GateCase>& info) {
  return info.param.name;
}

class GateStatements : public ::testing::TestWithParam<GateCase> {};

TEST_P(GateStatements, Answer) {
  const GateCase& c = GetParam();
  SampleVault vault(c.edition, c.options);
  auto connection = vault.connect();
  const db::Variant value = ReadValue(*connection, c.statement);
  if (c.answer.kind == Answer::Null) {
    EXPECT_TRUE(value.isNull()) << value.toString();
  } else {
    ASSERT_FALSE(value.isNull());
    EXPECT_EQ(value.toString(), c.answer.text);
  }
}

constexpr Answer kNull{Answer::Null, ""};
Answer Text(std::string text) {
  return {Answer::Text, std::move(text)};
}

VaultOptions Versions(VersionTables versions) {
  return {VaultContent::FreshInstall, versions, PartCatalog::Empty, ""};
}

VaultOptions VaultVersion(std::string text) {
  return {VaultContent::FreshInstall, VersionTables::Current, PartCatalog::Empty, std::move(text)};
}

const char* const kCheck = "sql_check_new_version_table_exists";
const char* const kVersions = "sql_select_versions";

INSTANTIATE_TEST_SUITE_P(
    Editions, GateStatements,
    ::testing::Values(
        GateCase{"OutpostVaultVersion", VaultEdition::Outpost, SampleContent(), "sql_vault_version",
                 Text("TavrinVault-1.0.1")},
        GateCase{"SoloVaultVersion", VaultEdition::Solo, FreshInstall(), "sql_vault_version",
                 Text("ZaredorEvovu-1.0.1")},
        GateCase{"ServerVaultVersion", VaultEdition::Server, FreshInstall(), "sql_vault_version",
                 Text("ZaredorEvovu-1.0.1")},
        GateCase{"OtherVaultVersionAsWritten", VaultEdition::Server,
                 VaultVersion("xvsvault-1.0.1 "), "sql_vault_version", Text("xvsvault-1.0.1 ")},
        GateCase{"SoloCurrent", VaultEdition::Solo, FreshInstall(), kCheck, Text("1.0.1.412")},
        GateCase{"ServerCurrent", VaultEdition::Server, FreshInstall(), kCheck, Text("1.0.1.412")},
        GateCase{"SoloOutdated", VaultEdition::Solo, Versions(VersionTables::Outdated), kCheck,
                 kNull},
        GateCase{"ServerOutdated", VaultEdition::Server, Versions(VersionTables::Outdated), kCheck,
                 kNull},
        GateCase{"SoloUnfinishedUpgrade", VaultEdition::Solo,
                 Versions(VersionTables::UnfinishedUpgrade), kCheck, Text("")},
        GateCase{"ServerUnfinishedUpgrade", VaultEdition::Server,
                 Versions(VersionTables::UnfinishedUpgrade), kCheck, Text("")},
        GateCase{"SoloVersions", VaultEdition::Solo, FreshInstall(), kVersions,
                 Text("Database 1.0.1.412, Search 1.0.0.37")},
        GateCase{"ServerVersions", VaultEdition::Server, FreshInstall(), kVersions,
                 Text("Database 1.0.1.412, Search 1.0.0.37")},
        // An outdated destination that passes the empty-text check is still
        // stopped: its versions cannot be logged.
        GateCase{"SoloOutdatedVersions", VaultEdition::Solo, Versions(VersionTables::Outdated),
                 kVersions, kNull},
        GateCase{"ServerOutdatedVersions", VaultEdition::Server, Versions(VersionTables::Outdated),
                 kVersions, kNull},
        GateCase{"SoloFreshIsEmpty", VaultEdition::Solo, FreshInstall(), "sql_total_row_count_dest",
                 Text("0")},
        GateCase{"ServerFreshIsEmpty", VaultEdition::Server, FreshInstall(),
                 "sql_total_row_count_dest", Text("0")},
        GateCase{"ServerHasPartCatalog", VaultEdition::Server, FreshInstall(), "sql_mitem_exists",
                 Text("CAT_MITEM")},
        GateCase{"ServerWithoutPartCatalog", VaultEdition::Server, FreshInstall(PartCatalog::None),
                 "sql_mitem_exists", kNull},
        GateCase{"SoloHasNoPartCatalog", VaultEdition::Solo, FreshInstall(), "sql_mitem_exists",
                 kNull}),
    CaseName);

}  // namespace
}  // namespace movrano::testing
