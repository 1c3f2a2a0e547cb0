// The folder and data-folder statements on generated trees: every row once,
// parents before children, self-parented rows as roots, and the rows no
// root reaches (parent cycles and the rows below them) after all others.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "db/Query.h"
#include "statements/DeployedStatementFile.h"
#include "statements/uSQLUtils.h"
#include "support/vaults/FolderTree.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {

// Found by argument lookup, so outside the unnamed namespace.
void PrintTo(const FolderTable& table, std::ostream* out) {
  *out << table.table;
}

namespace {

using Parents = std::map<std::string, std::string>;  // GUID to parent GUID ("" for NULL)

Parents ReadParents(db::Connection& connection, const FolderTable& table) {
  db::Query q(connection);
  q.setSql(std::string("SELECT GUID, ") + table.parentColumn + " FROM " + table.table);
  Parents parents;
  for (q.open(); !q.eof(); q.next())
    parents[q.field(0).asString()] = q.field(1).asString();
  return parents;
}

// The rows a walk down from the roots (no parent, or their own) reaches.
std::set<std::string> Reachable(const Parents& parents) {
  std::multimap<std::string, std::string> children;
  std::vector<std::string> todo;
  for (const auto& [guid, parent] : parents) {
    if (parent.empty() || parent == guid) {
      todo.push_back(guid);
    } else {
      children.emplace(parent, guid);
    }
  }
  std::set<std::string> reached;
  while (!todo.empty()) {
    const std::string at = todo.back();
    todo.pop_back();
    reached.insert(at);
    for (auto [it, end] = children.equal_range(at); it != end; ++it)
      todo.push_back(it->second);
  }
  return reached;
}

class FolderOrder : public ::testing::TestWithParam<FolderTable> {
 protected:
  void SetUp() override { LoadDeploymentStatements(); }
};

TEST_P(FolderOrder, ReadsEveryRowParentsFirstAndTheUnreachableLast) {
  const FolderTable& table = GetParam();
  SampleVault vault(VaultEdition::Solo, FreshInstall());
  auto connection = vault.connect();
  const FolderTree tree = EdgeFolderTree(std::string(table.table) == kFolders.table ? 11 : 12);
  InsertFolderTree(*connection, table, tree);

  const Parents parents = ReadParents(*connection, table);
  ASSERT_GE(parents.size(), tree.size());
  const std::set<std::string> reachable = Reachable(parents);
  // 2 + 40 rows hang on the first cycle, 3 + 20 on the second.
  EXPECT_EQ(parents.size() - reachable.size(), 65u);

  auto q = CreateQuery(*connection, table.statement);
  q->open();
  const int guid = q->fieldIndex("GUID");
  const int parentField = q->fieldIndex(table.parentColumn);
  ASSERT_GE(guid, 0);
  ASSERT_GE(parentField, 0);
  std::vector<std::string> order;
  std::map<std::string, size_t> place;
  for (; !q->eof(); q->next()) {
    const std::string row = q->field(guid).asString();
    EXPECT_EQ(q->field(parentField).asString(), parents.at(row)) << row;
    EXPECT_TRUE(place.emplace(row, order.size()).second) << row << " read twice";
    order.push_back(row);
  }
  EXPECT_EQ(order.size(), parents.size());

  size_t firstUnreachable = order.size();
  size_t lastReachable = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    const std::string& row = order[i];
    if (!reachable.count(row)) {
      firstUnreachable = std::min(firstUnreachable, i);
      continue;
    }
    lastReachable = i;
    const std::string& parent = parents.at(row);
    if (!parent.empty() && parent != row) {
      EXPECT_LT(place.at(parent), i) << row << " comes before its parent " << parent;
    }
  }
  EXPECT_LT(lastReachable, firstUnreachable);
  EXPECT_EQ(order.size() - firstUnreachable, parents.size() - reachable.size());
}

std::string TableName(const ::testing::TestParamInfo<FolderTable>& info) {
  return std::string(info.param.table) == kFolders.table ? "Folders" : "DataFolders";
}

INSTANTIATE_TEST_SUITE_P(Tables, FolderOrder, ::testing::Values(kFolders, kDataFolders), TableName);

}  // namespace
}  // namespace movrano::testing
