#include "support/vaults/oracle/OracleSchema.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <stdexcept>

#include "db/oracle/OracleDriver.h"
#include "platform/Text.h"
#include "support/db/FirebirdFixture.h"
#include "support/db/OracleSchemaFile.h"
#include "support/platform/TempDir.h"
#include "support/vaults/VaultRecipe.h"

namespace movrano::testing {

namespace {

// Firebird's column types in Oracle's words.
std::string OracleType(const std::string& firebirdType) {
  const std::string t = UpperCase(Trim(firebirdType));
  static const std::regex kVarchar(R"(VARCHAR\s*(\(.*\)))");
  static const std::regex kNumeric(R"((NUMERIC|DECIMAL)\s*(\(.*\)))");
  std::smatch m;
  if (std::regex_match(t, m, kVarchar)) return "VARCHAR2" + m[1].str();
  if (std::regex_match(t, m, kNumeric)) return "NUMBER" + m[2].str();
  if (t == "BLOB SUB_TYPE TEXT" || t == "BLOB SUB_TYPE 1") return "CLOB";
  if (t.rfind("BLOB", 0) == 0) return "BLOB";
  if (t == "SMALLINT") return "NUMBER(5)";
  if (t == "INTEGER") return "NUMBER(10)";
  if (t == "BIGINT") return "NUMBER(19)";
  if (t == "DOUBLE PRECISION") return "BINARY_DOUBLE";
  if (t == "FLOAT") return "BINARY_FLOAT";
  return t;  // CHAR(n), DATE, TIMESTAMP
}

// The column's type at the front of the text after its name.
const std::regex& TypeAtFront() {
  static const std::regex kType(R"(^(BLOB\s+SUB_TYPE\s+\w+|DOUBLE\s+PRECISION|\w+(\s*\([^)]*\))?))",
                                std::regex::icase);
  return kType;
}

// The items of a CREATE TABLE body, split at the commas outside parentheses.
std::vector<std::string> TopLevelItems(const std::string& body) {
  std::vector<std::string> items;
  std::string current;
  int depth = 0;
  char quote = 0;
  for (const char c : body) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      items.push_back(Trim(current));
      current.clear();
      continue;
    }
    current += c;
  }
  if (!Trim(current).empty()) items.push_back(Trim(current));
  return items;
}

std::string TranslateColumn(const std::string& item,
                            const std::map<std::string, std::string>& domains) {
  const size_t blank = item.find_first_of(" \t\n");
  const std::string name = item.substr(0, blank);
  const std::string rest = Trim(item.substr(blank));
  std::smatch m;
  if (!std::regex_search(rest, m, TypeAtFront())) {
    throw std::runtime_error("A column without a type: " + item);
  }
  const std::string type = m[1].str();
  const auto domain = domains.find(UpperCase(type));
  const std::string oracleType = domain != domains.end() ? domain->second : OracleType(type);
  return name + " " + oracleType + m.suffix().str();
}

// "CREATE <kind> <name> ...": the name, and the text after it.
bool Creates(const std::string& statement, const std::string& kind, std::string& name,
             std::string& rest) {
  static const std::regex kCreate(R"(^CREATE\s+(\w+)\s+(\w+)\s*)", std::regex::icase);
  std::smatch m;
  if (!std::regex_search(statement, m, kCreate) || !SameText(m[1].str(), kind)) return false;
  name = m[2].str();
  rest = m.suffix().str();
  return true;
}

std::vector<OracleTable> Translate(const std::vector<std::string>& scripts) {
  std::map<std::string, std::string> domains;
  std::vector<OracleTable> tables;
  for (const auto& script : scripts) {
    for (const std::string& statement : SplitScript(ReadFileBytes(VaultDataFolder() / script))) {
      std::string name;
      std::string rest;
      if (Creates(statement, "DOMAIN", name, rest)) {
        // "AS <type> [DEFAULT ...] [CHECK ...]": Oracle has no domains.
        std::smatch type;
        const std::string definition = Trim(rest.substr(2));
        std::regex_search(definition, type, TypeAtFront());
        domains[UpperCase(name)] = OracleType(type[1].str());
        continue;
      }
      if (!Creates(statement, "TABLE", name, rest)) continue;  // ALTER TABLE ... CHECK
      const size_t open = rest.find('(');
      const size_t close = rest.rfind(')');
      std::string columns;
      for (const std::string& item : TopLevelItems(rest.substr(open + 1, close - open - 1))) {
        const std::string upper = UpperCase(item);
        static const std::regex kCheck(R"(^(CONSTRAINT\s+\w+\s+)?CHECK\s*\()");
        if (std::regex_search(upper, kCheck)) continue;
        const bool constraint = upper.rfind("CONSTRAINT", 0) == 0 ||
                                upper.rfind("PRIMARY KEY", 0) == 0 ||
                                upper.rfind("FOREIGN KEY", 0) == 0 || upper.rfind("UNIQUE", 0) == 0;
        columns += (columns.empty() ? "\n  " : ",\n  ") +
                   (constraint ? item : TranslateColumn(item, domains));
      }
      tables.push_back({name, "CREATE TABLE " + name + " (" + columns + "\n)"});
    }
  }
  return tables;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return SameText(n, name); });
}

}  // namespace

std::vector<OracleTable> OracleServerTables(PartCatalog catalog) {
  VaultOptions options = FreshInstall(catalog);
  return Translate(RecipeFor(VaultEdition::Server, options).schemaScripts);
}

std::string RenamedTable(const OracleTable& table, const std::string& name) {
  const std::string prefix = "CREATE TABLE " + table.name;
  return "CREATE TABLE \"" + name + "\"" + table.createStatement.substr(prefix.size());
}

void CreateEmptyOracleSchema(const std::filesystem::path& file) {
  std::filesystem::remove(file);
  CreateOracleSchema(file, kOracleSchemaName, {{kOracleUser, kOraclePassword}});
}

std::unique_ptr<db::Connection> ConnectOracleSchema(const std::string& file) {
  auto c = std::make_unique<db::Connection>();
  c->setProtocol(db::kOracleProtocol);
  c->setHostName(" ");
  c->setDatabase(file);
  c->setCatalog(kOracleSchemaName);
  c->setUser(kOracleUser);
  c->setPassword(kOraclePassword);
  c->setClientCodepage("UTF8");
  c->connect();
  return c;
}

// The statement with the renamed tables written as the schema holds them.
std::string WithRenamedTables(std::string statement,
                              const std::map<std::string, std::string>& renamed) {
  for (const auto& [from, to] : renamed) {
    const std::regex table(R"(\b(INTO|UPDATE|FROM|REFERENCES)\s+)" + from + R"(\b)",
                           std::regex::icase);
    statement = std::regex_replace(statement, table, "$1 \"" + to + "\"");
  }
  return statement;
}

void InstallOracleServerSchema(const std::string& file, const OracleInstallOptions& options) {
  const auto c = ConnectOracleSchema(file);
  for (const OracleTable& table : OracleServerTables(options.catalog)) {
    if (Contains(options.omitted, table.name)) continue;
    const auto renamed = options.renamed.find(table.name);
    DefineOracleTable(file, WithRenamedTables(renamed == options.renamed.end()
                                                  ? table.createStatement
                                                  : RenamedTable(table, renamed->second),
                                              options.renamed));
  }
  if (options.installerRows) {
    c->startTransaction();
    for (const auto& statement :
         SplitScript(ReadFileBytes(VaultDataFolder() / "seed/install-server.sql"))) {
      c->executeDirect(WithRenamedTables(statement, options.renamed));
    }
    c->commit();
  }
  for (const auto& afterwards : options.afterwards) {
    const std::string statement = WithRenamedTables(afterwards, options.renamed);
    if (IsOracleTableDefinition(statement)) {
      DefineOracleTable(file, statement);
    } else {
      c->executeDirect(statement);
    }
  }
}

}  // namespace movrano::testing
