// Every copy plan step's statement pair fits (the source's columns are the
// destination's parameters) and moves the sample into a fresh destination
// of each edition it can go to; the row counts of the emptiness check and
// of the progress match what the plans move; the vault identity and the
// identity service's users and groups go where they belong.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "db/Query.h"
#include "engine/CopyPlans.h"
#include "platform/Text.h"
#include "statements/DeployedStatementFile.h"
#include "statements/uSQLUtils.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

using Conversion = TUserScopeConversion;
using Step = TCopyStep;

const std::vector<Step>& PlanOf(VaultEdition source) {
  return source == VaultEdition::Outpost ? OutpostCopyPlan() : SoloCopyPlan();
}

bool IsUserColumn(const std::string& name) {
  return name == "CREATEDBYGUID" || name == "LASTMODIFIEDBYGUID";
}

// Copies one step's rows the way the engine's table copy binds them, after
// checking that the pair fits; the user GUIDs met go into `users`.
void CopyStep(db::Connection& source, db::Connection& dest, const Step& step,
              std::set<std::string>& users) {
  SCOPED_TRACE(step.caption);
  auto from = CreateQuery(source, step.source);
  auto to = CreateQuery(dest, step.dest);
  to->prepare();
  from->open();
  ASSERT_EQ(from->fieldCount(), to->params().count());
  std::vector<db::Param*> params;
  for (const auto& def : from->fieldDefs()) {
    params.push_back(to->findParam(def.name));
    ASSERT_NE(params.back(), nullptr) << def.name;
  }
  if (step.userScope != Conversion::None) {
    // The conversion finds its column by this name exactly, case included.
    const auto& defs = from->fieldDefs();
    ASSERT_TRUE(std::any_of(defs.begin(), defs.end(),
                            [](const db::FieldDef& d) { return d.name == "UserScope"; }));
  }
  for (; !from->eof(); from->next()) {
    for (int i = 0; i < from->fieldCount(); ++i) {
      const db::Field field = from->field(i);
      db::Param& p = *params[i];
      const bool userScope = field.name() == "UserScope" && step.userScope != Conversion::None;
      if (userScope && step.userScope == Conversion::ConvertToOrganisationGUID) {
        p.setText(kDefaultOrganisationGuid);
      } else if (userScope || IsUserColumn(field.name())) {
        if (!field.isNull() && !field.asString().empty()) users.insert(field.asString());
        p.setText(field.asString());
      } else if (field.def().type == db::FieldType::Blob) {
        field.asBytes().empty() ? p.setNull() : p.setBlob(field.asBytes());
      } else if (field.def().type == db::FieldType::WideMemo) {
        p.setText(field.asString());
      } else {
        p.setValue(field.value());
      }
    }
    to->execSql();
  }
}

int64_t RowsOf(db::Connection& connection, const char* statement) {
  auto q = CreateQuery(connection, statement);
  q->open();
  int64_t rows = 0;
  for (; !q->eof(); q->next())
    ++rows;
  return rows;
}

struct Route {
  VaultEdition source;
  VaultEdition dest;
};

void PrintTo(const Route& route, std::ostream* out) {
  *out << VaultEditionName(route.source) << "To" << VaultEditionName(route.dest);
}

std::string RouteName(const ::testing::TestParamInfo<Route>& info) {
  return ::testing::PrintToString(info.param);
}

class CopyPlan : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override { LoadDeploymentStatements(); }

  // The vault identity, then every step of the plan, in one transaction.
  std::set<std::string> copy(db::Connection& source, db::Connection& dest) {
    TVarArray vault;
    GetRow(source, "sql_vault_info", vault);
    EXPECT_EQ(vault.size(), 3u);
    dest.startTransaction();
    ExecStatement(
        dest, "sql_update_vault_guid", {"GUID", "HRID", "DESCRIPTION"},
        {vault[0], vault[1].toString() + "(migrated)", vault[2].toString() + "(migrated)"});
    std::set<std::string> users;
    for (const Step& step : PlanOf(GetParam().source)) {
      CopyStep(source, dest, step, users);
      if (::testing::Test::HasFatalFailure()) break;
    }
    dest.commit();
    TVarArray migrated;
    GetRow(dest, "sql_vault_info", migrated);
    EXPECT_EQ(migrated[0].toString(), vault[0].toString());
    EXPECT_EQ(migrated[1].toString(), vault[1].toString() + "(migrated)");
    EXPECT_EQ(migrated[2].toString(), vault[2].toString() + "(migrated)");
    return users;
  }
};

TEST_P(CopyPlan, MovesTheSampleIntoAFreshDestination) {
  SampleVault sourceVault(GetParam().source);
  SampleVault destVault(GetParam().dest, FreshInstall());
  auto source = sourceVault.connect();
  auto dest = destVault.connect();

  // The progress total is the rows the plan's source statements yield.
  int64_t planRows = 0;
  for (const Step& step : PlanOf(GetParam().source))
    planRows += RowsOf(*source, step.source);
  EXPECT_EQ(ReadValue(*source, "sql_total_row_count_source").toInt64(), planRows);

  const std::set<std::string> users = copy(*source, *dest);

  // All but the organisation every installation has count as filled.
  EXPECT_EQ(ReadValue(*dest, "sql_total_row_count_dest").toInt64(),
            planRows - (GetParam().source == VaultEdition::Solo ? 1 : 0));
  if (GetParam().source == VaultEdition::Solo) {
    for (const auto& table : SoloPlanTables()) {
      EXPECT_EQ(AsCopied(DumpTable(*source, table)), DumpTable(*dest, table)) << table;
    }
    return;
  }
  // The authors and the user-scoped rights name every sample user: the
  // users to fetch from the identity service.
  EXPECT_EQ(users, std::set<std::string>(SampleUserGuids().begin(), SampleUserGuids().end()));
  const std::set<std::string> outpostOwn = {"TLU_LIFECYCLESTATECHANGE",
                                            "ACLDATA",
                                            "TLU_ACQUISITIONPOINTER",
                                            "IDS_USER",
                                            "IDS_GROUP",
                                            "IDS_GROUPMEMBERSHIP",
                                            "IDS_ORGANISATION"};
  for (const auto& table : SoloPlanTables()) {
    if (outpostOwn.count(table)) continue;
    EXPECT_EQ(AsCopied(DumpTable(*source, table)), DumpTable(*dest, table)) << table;
  }
  // Rights on the shared definitions became public rows; organisation
  // rights name the destination's organisation.
  const TableRows acl = DumpTable(*dest, "ACLDATA");
  EXPECT_EQ(acl.rows.size(), DumpTable(*source, "ACLDATA").rows.size() +
                                 DumpTable(*source, "TLU_DEFINITIONACCESS").rows.size());
  for (const Row& row : acl.rows) {
    if (row[1] == "3") {
      EXPECT_EQ(row[2], kDefaultOrganisationGuid);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Routes, CopyPlan,
                         ::testing::Values(Route{VaultEdition::Solo, VaultEdition::Server},
                                           Route{VaultEdition::Outpost, VaultEdition::Server},
                                           Route{VaultEdition::Outpost, VaultEdition::Solo}),
                         RouteName);

// The table each source statement of the plans reads.
const std::map<std::string, std::string>& SourceTables() {
  static const std::map<std::string, std::string> tables = {
      {"sql_source_folders", "TLU_FOLDER"},
      {"sql_source_contenttype", "TLU_CONTENTTYPE"},
      {"sql_source_datafile", "TLU_DATAFILE"},
      {"sql_source_datafolder", "TLU_DATAFOLDER"},
      {"sql_source_folderparameter", "TLU_FOLDERPARAMETER"},
      {"sql_source_foldertype", "TLU_FOLDERTYPE"},
      {"sql_source_item", "TLU_ITEM"},
      {"sql_source_itemlink", "TLU_ITEMLINK"},
      {"sql_source_itemlinkparameter", "TLU_ITEMLINKPARAMETER"},
      {"sql_source_itemrevision", "TLU_ITEMREVISION"},
      {"sql_source_itemrevisionlink", "TLU_ITEMREVISIONLINK"},
      {"sql_source_itemrevisionlinkparameter", "TLU_ITEMREVISIONLINKPARAMETER"},
      {"sql_source_itemrevisionparameter", "TLU_ITEMREVISIONPARAMETER"},
      {"sql_source_lifecycledefinition", "TLU_LIFECYCLEDEFINITION"},
      {"sql_source_lifecyclestage", "TLU_LIFECYCLESTAGE"},
      {"sql_source_lifecyclestate", "TLU_LIFECYCLESTATE"},
      {"sql_source_lifecyclestatechange", "TLU_LIFECYCLESTATECHANGE"},
      {"sql_source_solo_lifecyclestatechange", "TLU_LIFECYCLESTATECHANGE"},
      {"sql_source_lifecyclestatetransition", "TLU_LIFECYCLESTATETRANSITION"},
      {"sql_source_revisionnamelevel", "TLU_REVISIONNAMELEVEL"},
      {"sql_source_resiionnamingscheme", "TLU_REVISIONNAMINGSCHEME"},
      {"sql_source_resiionnamingscheme_rights", "TLU_DEFINITIONACCESS"},
      {"sql_source_lifecycle_rights", "TLU_DEFINITIONACCESS"},
      {"sql_acl_copy_users", "ACLDATA"},
      {"sql_acl_copy_organizations", "ACLDATA"},
      {"sql_acl_copy_public", "ACLDATA"},
      {"sql_source_acquisitionpointer", "TLU_ACQUISITIONPOINTER"},
      {"sql_source_acldata_full", "ACLDATA"},
      {"sql_source_solo_user", "IDS_USER"},
      {"sql_source_solo_group", "IDS_GROUP"},
      {"sql_source_solo_membership", "IDS_GROUPMEMBERSHIP"},
      {"sql_source_solo_org", "IDS_ORGANISATION"},
  };
  return tables;
}

// A test for each edition, with the deployment's statements.
class EditionTest : public ::testing::TestWithParam<VaultEdition> {
 protected:
  void SetUp() override { LoadDeploymentStatements(); }
};

std::string EditionName(const ::testing::TestParamInfo<VaultEdition>& info) {
  return ::testing::PrintToString(info.param);
}

class SourceStatements : public EditionTest {};

// No join or filter of a source statement loses a row: the statements that
// read a table together read each of its rows, the edge rows included
// (self-parented folders, folders no root reaches).
TEST_P(SourceStatements, ReadEveryRowOfTheirTables) {
  SampleVault vault(GetParam(), SampleWithEdges());
  auto source = vault.connect();
  std::map<std::string, int64_t> read;
  for (const Step& step : PlanOf(GetParam())) {
    ASSERT_TRUE(SourceTables().count(step.source)) << step.source;
    read[SourceTables().at(step.source)] += RowsOf(*source, step.source);
  }
  for (const auto& [table, rows] : read) {
    EXPECT_EQ(rows, static_cast<int64_t>(DumpTable(*source, table).rows.size())) << table;
  }
  EXPECT_EQ(DumpTable(*source, "TLU_FOLDER").rows.size(), 9u);
}

INSTANTIATE_TEST_SUITE_P(Sources, SourceStatements,
                         ::testing::Values(VaultEdition::Solo, VaultEdition::Outpost), EditionName);

class IdentityInserts : public EditionTest {};

// A user, a group (only five parameters set) and a membership, as written
// for users that come from the identity service.
TEST_P(IdentityInserts, PutUsersGroupsAndMembershipsInTheirTables) {
  SampleVault vault(GetParam(), FreshInstall());
  auto dest = vault.connect();
  const std::string user = "9d8c7b6a-0001-4e5f-8a9b-0c1d2e3f4a5b";
  const std::string group = "9d8c7b6a-0101-4e5f-8a9b-0c1d2e3f4a5b";
  dest->startTransaction();

  auto users = CreateQuery(*dest, "sql_user_insert");
  users->prepare();
  for (int i = 0; i < users->params().count(); ++i)
    users->params()[i].setText("");
  users->paramByName("GUID").setText(user);
  users->paramByName("HRID").setText("ólafur");
  users->paramByName("ACTIVE").setText("1");
  users->paramByName("NAME").setText("ólafur");
  users->paramByName("USERNAME").setText("ólafur");
  users->paramByName("PASSWORD").setText("5f0c9e27b1d4a8363e2f71c0ad94b58e");
  users->paramByName("EXPERIENCE").setText("Zwölf Jahre");
  users->paramByName("ORGANISATIONGUID").setText(kDefaultOrganisationGuid);
  users->execSql();

  auto memberships = CreateQuery(*dest, "sql_membership_insert");
  memberships->prepare();
  const std::vector<std::pair<const char*, std::string>> membership = {
      {"GUID", "{5B0A1C2D-3E4F-4A5B-8C6D-7E8F9A0B1C2D}"},
      {"HRID", "Engineers"},
      {"ACTIVE", "1"},
      {"GROUPGUID", group},
      {"USERGUID", user},
      {"ORGANISATIONGUID", kDefaultOrganisationGuid},
      {"NAME", "Engineers"}};
  ASSERT_EQ(memberships->params().count(), static_cast<int>(membership.size()));
  for (const auto& [name, value] : membership)
    memberships->paramByName(name).setText(value);
  memberships->execSql();

  auto groups = CreateQuery(*dest, "sql_user_insert");
  groups->prepare();
  for (const auto& [name, value] : std::vector<std::pair<const char*, std::string>>{
           {"GUID", group},
           {"HRID", "Engineers"},
           {"ACTIVE", "1"},
           {"NAME", "Engineers"},
           {"ORGANISATIONGUID", kDefaultOrganisationGuid}})
    groups->paramByName(name).setText(value);
  groups->execSql();
  dest->commit();

  const TableRows userRows = DumpTable(*dest, "IDS_USER");
  ASSERT_EQ(userRows.rows.size(), 1u);
  EXPECT_EQ(userRows.rows[0][0], user);
  EXPECT_EQ(userRows.rows[0][7], "ólafur");
  EXPECT_EQ(userRows.rows[0][10], "");  // PHONE: a profile entry the service did not send
  EXPECT_EQ(userRows.rows[0][17], "Zwölf Jahre");
  const TableRows groupRows = DumpTable(*dest, "IDS_GROUP");
  ASSERT_EQ(groupRows.rows.size(), 1u);
  EXPECT_EQ(groupRows.rows[0][0], group);
  EXPECT_EQ(groupRows.rows[0][2], "1");
  EXPECT_EQ(groupRows.rows[0][5], kDefaultOrganisationGuid);
  const TableRows membershipRows = DumpTable(*dest, "IDS_GROUPMEMBERSHIP");
  ASSERT_EQ(membershipRows.rows.size(), 1u);
  EXPECT_EQ(membershipRows.rows[0][3], group);
  EXPECT_EQ(membershipRows.rows[0][4], user);
}

INSTANTIATE_TEST_SUITE_P(Destinations, IdentityInserts,
                         ::testing::Values(VaultEdition::Solo, VaultEdition::Server), EditionName);

}  // namespace
}  // namespace movrano::testing
