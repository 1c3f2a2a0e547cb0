#pragma once
// Generated folder trees for the folder and data-folder statements: a
// realistic vault's trees, and trees at the edges of what the statements
// must order (deep chains, wide levels, self-parented rows, parent cycles
// with rows below them), written into a vault database's folder tables.
#include <cstdint>
#include <string>
#include <vector>

#include "db/Connection.h"

namespace movrano::testing {

struct FolderRow {
  std::string guid;
  std::string parent;        // empty: a root
  bool linkedLater = false;  // inserted as a root, its parent set once every row is in (cycles)
};

// Rows in an order the parent key accepts.
using FolderTree = std::vector<FolderRow>;

// About one root per 250 folders, each new folder below a random earlier
// one no deeper than 12 levels, as a vault grows.
FolderTree RealisticFolderTree(int count, uint64_t seed);

// Roots with a chain 300 deep, a level 400 wide and random subtrees; two
// self-parented rows with trees below them; a cycle of two rows and one of
// three, each with rows below it.
FolderTree EdgeFolderTree(uint64_t seed);

// The two tables the statements read, and their parent columns.
struct FolderTable {
  const char* table;
  const char* parentColumn;
  const char* statement;  // the deployment's source statement of the table
};
inline constexpr FolderTable kFolders{"TLU_FOLDER", "PARENTFOLDERGUID", "sql_source_folders"};
inline constexpr FolderTable kDataFolders{"TLU_DATAFOLDER", "PARENTDATAFOLDERGUID",
                                          "sql_source_datafolder"};

// Inserts the rows (every required column filled) in one transaction.
void InsertFolderTree(db::Connection& connection, const FolderTable& table, const FolderTree& tree);

}  // namespace movrano::testing
