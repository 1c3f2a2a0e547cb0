#pragma once
// The sample vaults' databases, each built once per build tree from its
// scripts and then copied for every sample that asks for it, in any test
// program and any of its processes (ctest runs each test in one): a copy
// takes a small part of a build's time. The finished files lie in the
// build tree, named by a fingerprint of their scripts and of the code that
// builds them (DatabaseBuilder.h), so that a change to either builds them
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
