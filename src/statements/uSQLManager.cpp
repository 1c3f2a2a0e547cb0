#include "statements/uSQLManager.h"

#include <filesystem>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "statements/StatementMacros.h"

namespace movrano {
namespace {

std::unique_ptr<TSQLManager> gSQLManager;

}  // namespace

bool TSQLManager::NameLess::operator()(std::string_view a, std::string_view b) const {
  return CompareText(a, b) < 0;
}

void TSQLManager::LoadFromPath(const std::string& APath) {
  for (const auto& file : ListStatementFiles(APath))
    LoadFromFile(file.string());
}

void TSQLManager::LoadFromFile(const std::string& AFileName) {
  const std::filesystem::path file(AFileName);
  // No file, a folder or a FIFO there: skipped, and nothing is waited on.
  const std::optional<std::string> text = ReadStatementFileText(file);
  if (!text) return;
  for (auto& statement : ParseStatements(*text, file.filename().string()))
    Add(std::move(statement));
}

void TSQLManager::Add(StatementDef AStatement) {
  FStatementList.try_emplace(std::move(AStatement.name), std::move(AStatement.lines));
}

const TSQLManager::Lines* TSQLManager::Find(std::string_view AName) const {
  const auto at = FStatementList.find(AName);
  return at != FStatementList.end() ? &at->second : nullptr;
}

std::string TSQLManager::FindSQL(std::string_view ALabelName) const {
  const Lines* statement = Find(ALabelName);
  return statement ? JoinLines(*statement) : std::string(ALabelName);
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
