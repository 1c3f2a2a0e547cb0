#include "support/vaults/FolderTree.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "db/Query.h"

namespace movrano::testing {

namespace {

// A random GUID text in braces, upper case; each call moves `state` on.
std::string RandomGuid(uint64_t& state) {
  std::mt19937_64 random(state++);
  const uint64_t a = random();
  const uint64_t b = random();
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                static_cast<unsigned>(b >> 48),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return text;
}

// Adds `count` rows, each below a random row of `parents` (growing as
// rows are added) no deeper than `maxDepth` below where it started.
void GrowRandomly(FolderTree& tree, std::vector<std::pair<std::string, int>> parents, int count,
                  int maxDepth, std::mt19937_64& random, uint64_t& guids) {
  for (int i = 0; i < count; ++i) {
    std::pair<std::string, int> parent;
    do {
      parent = parents[std::uniform_int_distribution<size_t>(0, parents.size() - 1)(random)];
    } while (parent.second >= maxDepth);
    tree.push_back({RandomGuid(guids), parent.first});
    parents.emplace_back(tree.back().guid, parent.second + 1);
  }
}

void AddChain(FolderTree& tree, std::string parent, int length, uint64_t& guids) {
  for (int i = 0; i < length; ++i) {
    tree.push_back({RandomGuid(guids), parent});
    parent = tree.back().guid;
  }
}

// `size` rows whose parents go round; the first is inserted as a root and
// linked to the last once all are in. Returns the rows.
std::vector<std::string> AddCycle(FolderTree& tree, int size, uint64_t& guids) {
  std::vector<std::string> cycle;
  for (int i = 0; i < size; ++i)
    cycle.push_back(RandomGuid(guids));
  for (int i = 0; i < size; ++i) {
    FolderRow row{cycle[i], cycle[(i + size - 1) % size]};
    row.linkedLater = i == 0;
    tree.push_back(row);
  }
  return cycle;
}

}  // namespace

FolderTree RealisticFolderTree(int count, uint64_t seed) {
  std::mt19937_64 random(seed);
  uint64_t guids = seed * 1000003;
  FolderTree tree;
  std::vector<std::pair<std::string, int>> roots;
  const int rootCount = std::max(1, count / 250);
  for (int i = 0; i < rootCount && i < count; ++i) {
    tree.push_back({RandomGuid(guids), ""});
    roots.emplace_back(tree.back().guid, 0);
  }
  GrowRandomly(tree, roots, count - static_cast<int>(tree.size()), 12, random, guids);
  return tree;
}

FolderTree EdgeFolderTree(uint64_t seed) {
  std::mt19937_64 random(seed);
  uint64_t guids = seed * 1000003;
  FolderTree tree;
  std::vector<std::pair<std::string, int>> starts;
  for (int i = 0; i < 3; ++i) {
    tree.push_back({RandomGuid(guids), ""});
    starts.emplace_back(tree.back().guid, 0);
  }
  AddChain(tree, tree[0].guid, 300, guids);
  const std::string wide = tree[1].guid;
  for (int i = 0; i < 400; ++i)
    tree.push_back({RandomGuid(guids), wide});
  GrowRandomly(tree, starts, 500, 20, random, guids);
  for (int i = 0; i < 2; ++i) {
    const std::string self = RandomGuid(guids);
    tree.push_back({self, self});
    GrowRandomly(tree, {{self, 0}}, 60, 8, random, guids);
  }
  const std::vector<std::string> pair = AddCycle(tree, 2, guids);
  GrowRandomly(tree, {{pair[1], 0}}, 40, 6, random, guids);
  const std::vector<std::string> three = AddCycle(tree, 3, guids);
  AddChain(tree, three[2], 20, guids);
  return tree;
}

void InsertFolderTree(db::Connection& connection, const FolderTable& table,
                      const FolderTree& tree) {
  const bool folders = std::string(table.table) == kFolders.table;
  db::Query insert(connection);
  insert.setSql(
      folders ? "INSERT INTO TLU_FOLDER (GUID, HRID, PARENTFOLDERGUID, FOLDERTYPEGUID, NAME, "
                "ISHIDDEN, SORTORDER, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (:GUID, "
                ":HRID, :PARENT, '{01010001-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', :NAME, 0, 1, "
                "CURRENT_TIMESTAMP, 'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601', CURRENT_TIMESTAMP)"
              : "INSERT INTO TLU_DATAFOLDER (GUID, HRID, PARENTDATAFOLDERGUID, NAME, "
                "RELATIVEPATH, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (:GUID, :HRID, "
                ":PARENT, :NAME, :NAME, CURRENT_TIMESTAMP, "
                "'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601', CURRENT_TIMESTAMP)");
  db::Query link(connection);
  link.setSql(std::string("UPDATE ") + table.table + " SET " + table.parentColumn +
              " = :PARENT WHERE GUID = :GUID");
  connection.startTransaction();
  int n = 0;
  for (const FolderRow& row : tree) {
    insert.paramByName("GUID").setText(row.guid);
    insert.paramByName("HRID").setText("F-" + std::to_string(++n));
    insert.paramByName("NAME").setText("Folder " + std::to_string(n));
    if (row.parent.empty() || row.linkedLater) {
      insert.paramByName("PARENT").setNull();
    } else {
      insert.paramByName("PARENT").setText(row.parent);
    }
    insert.execSql();
  }
  for (const FolderRow& row : tree) {
    if (!row.linkedLater) continue;
    link.paramByName("PARENT").setText(row.parent);
    link.paramByName("GUID").setText(row.guid);
    link.execSql();
  }
  connection.commit();
}

}  // namespace movrano::testing
