#include "statements/uSQLManager.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "statements/StatementMacros.h"

namespace movrano {
namespace {

std::unique_ptr<TSQLManager> gSQLManager;

bool NameLess(const StatementDef& statement, std::string_view name) {
  return CompareText(statement.name, name) < 0;
}

}  // namespace

void TSQLManager::LoadFromPath(const std::string& APath) {
  for (const auto& file : ListStatementFiles(APath))
    LoadFromFile(file.string());
}

void TSQLManager::LoadFromFile(const std::string& AFileName) {
  std::error_code ec;
  const std::filesystem::path file(AFileName);
  if (!std::filesystem::is_regular_file(file, ec)) return;
  const std::string text = ReadStatementFileText(file);
  for (auto& statement : ParseStatements(text, file.filename().string()))
    Add(std::move(statement));
}

void TSQLManager::Add(StatementDef AStatement) {
  const auto at =
      std::lower_bound(FStatementList.begin(), FStatementList.end(), AStatement.name, NameLess);
  if (at != FStatementList.end() && SameText(at->name, AStatement.name)) return;
  FStatementList.insert(at, std::move(AStatement));
}

const StatementDef* TSQLManager::Find(std::string_view AName) const {
  const auto at = std::lower_bound(FStatementList.begin(), FStatementList.end(), AName, NameLess);
  return at != FStatementList.end() && SameText(at->name, AName) ? &*at : nullptr;
}

std::string TSQLManager::FindSQL(std::string_view ALabelName) const {
  const StatementDef* statement = Find(ALabelName);
  return statement ? JoinLines(statement->lines) : std::string(ALabelName);
}

std::string TSQLManager::FindMacros(std::string_view AName, const std::vector<std::string>& ANames,
                                    const std::vector<std::string>& AValues) const {
  return ReplaceMacros(FindSQL(AName), ANames, AValues);
}

TSQLManager& SQLManager() {
  if (!gSQLManager) {
    throw Exception(
        "SqlManager has not been initialized. Exucute InitializeSQLManager method first");
  }
  return *gSQLManager;
}

void CreateSQLManager() {
  if (!gSQLManager) gSQLManager = std::make_unique<TSQLManager>();
}

void FreeSQLManager() {
  // Cleared first, so that SQLManager() fails while the catalogue goes.
  std::unique_ptr<TSQLManager> released = std::move(gSQLManager);
}

}  // namespace movrano
