#pragma once
// What the benchmarks of the engine's table copy share: the engine's
// set-up and the statement file of the benchmark.
#include <fstream>
#include <string>

#include "services/IDS.h"
#include "statements/uSQLManager.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::bench {

// Writes the statements to a file of that name and loads them into the
// catalogue (which the caller's SQLManagerScope holds).
inline void LoadBenchStatements(const std::string& fileName, const char* statements) {
  RegisterIDSTypes();  // the engine makes an identity client
  const std::string path = testing::FirebirdTempFolder() + "/" + fileName;
  std::ofstream(path) << statements;
  SQLManager().LoadFromFile(path);
}

}  // namespace movrano::bench
