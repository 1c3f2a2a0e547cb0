#pragma once
// What the copies are expected to do, as tables the tests share: the
// captions of the copy plans' steps and the tables they fill, and the
// tables the Firebird-to-Oracle copy empties first.
#include <string>
#include <vector>

namespace movrano::testing {

// The "Start copy %s" captions of an Outpost and of a Solo Vault source's
// plan, in their order.
const std::vector<std::string>& OutpostCopyCaptions();
const std::vector<std::string>& SoloCopyCaptions();

// The tables the Solo Vault copy plan fills: the same names and columns
// in a Solo Vault and in a server vault.
const std::vector<std::string>& SoloPlanTables();
// The tables the Outpost plan moves unchanged (same columns on both sides).
const std::vector<std::string>& OutpostPlainTables();

// The tables the new installation fills that the Oracle copy empties
// first, whether the old database has them or not.
const std::vector<std::string>& OracleClearedTables();

}  // namespace movrano::testing
