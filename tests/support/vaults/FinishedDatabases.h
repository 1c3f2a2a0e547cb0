#pragma once
// The sample vaults' databases, each built once per build of a test
// program from its scripts and then copied for every sample that asks for
// it, in any process of that program (ctest runs each test in one): a
// copy takes a small part of a build's time. The finished files lie in the
// build tree, under the program's name and the time stamp of its file, so
// that a program built anew (new fixtures, new database code) builds them
// anew. A process that cannot copy database files (CanCopyDatabaseFiles)
// builds each one.
#include <memory>
#include <string>
#include <vector>

#include "support/vaults/VaultDatabase.h"

namespace movrano::testing {

// A database at `path` holding what the scripts (below VaultDataFolder())
// make: each schema script's statements committed one by one, each row
// script in one transaction.
std::unique_ptr<VaultDatabase> MakeVaultDatabase(const std::string& path,
                                                 const std::vector<std::string>& schemaScripts,
                                                 const std::vector<std::string>& rowScripts);

}  // namespace movrano::testing
