// The copy of the old Firebird database into the new Oracle schema: every
// table that both hold, every column of every row, through statements
// built here from the tables' own columns, with the schema's constraints
// switched off around the copy.
#include <algorithm>
#include <array>
#include <vector>

#include "db/Query.h"
#include "db/oracle/OracleConstraintBlocks.h"
#include "engine/VaultMigrationManager.h"

namespace movrano {

namespace {

// The tables the new installation filled that are emptied before the copy,
// whether the old database has them or not.
constexpr std::array<const char*, 26> kClearTableNames = {
    "TLU_LIFECYCLEDEFINITION",
    "TLU_LANGUAGE",
    "TLU_FOLDER",
    "TLU_FOLDERTYPE",
    "TLU_CONTENTTYPE",
    "ACLDATA",
    "TLU_LIFECYCLESTAGE",
    "TLU_LIFECYCLESTATE",
    "TLU_LIFECYCLESTATETRANSITION",
    "TLU_PARAMETERMETADATA",
    "TLU_REVISIONNAMELEVEL",
    "TLU_REVISIONNAMINGSCHEME",
    "TLU_VAULT",
    "CAT_SUPPLIER",
    "IDS_EVENT",
    "IDS_GROUP",
    "IDS_GROUPMEMBERSHIP",
    "IDS_ORGANISATION",
    "IDS_SESSIONLOG",
    "IDS_SESSIONUSAGE",
    "IDS_USER",
    "TBLTOOLS",
    "TBL_CATEGORIES",
    "TBL_CLIENT",
    "TBL_LISTENER",
    "VCS_REPOSITORY",
};

// The new installation's own schema versions stay.
constexpr const char* kVersionTable = "TBL_VERSION";
constexpr const char* kVersionTable2 = "TBL_VERSION2";

constexpr const char* kCountSchemaTables = "   SELECT Count(*) FROM user_tables";

bool Copied(const std::string& destTable, const std::vector<std::string>& sourceTables) {
  if (destTable.empty() || SameText(destTable, kVersionTable2) ||
      SameText(destTable, kVersionTable)) {
    return false;
  }
  return std::any_of(sourceTables.begin(), sourceTables.end(),
                     [&](const std::string& s) { return SameText(s, destTable); });
}

// One source column and the insert parameter it fills.
struct ColumnBinding {
  const db::FieldDef* def;
  int field;
  db::Param* param;
};

// A text the column must not leave empty becomes one blank; a text BLOB
// goes as a wide memo of its bytes and a binary one as bytes (Oracle's BLOB
// takes no text), none when it has no bytes.
void BindColumn(const ColumnBinding& b, const db::Field& field) {
  db::Param& p = *b.param;
  const db::FieldDef& def = *b.def;
  if (def.isBlob()) {
    const db::FieldType kind =
        def.type == db::FieldType::Blob ? db::FieldType::Blob : db::FieldType::WideMemo;
    p.setDataType(kind);
    const db::Variant& value = field.value();
    if (value.isBytes() && !value.bytes().empty()) {
      p.setBlob(value.sharedBytes(), kind);  // the row's own bytes, shared rather than copied
    } else if (db::Bytes bytes = field.asBytes(); !bytes.empty()) {
      p.setBlob(std::move(bytes), kind);  // a text's
    } else {
      p.setNull();
    }
    return;
  }
  if (db::IsTextType(def.type)) {
    std::string text = field.asString();
    p.setText(text.empty() && def.required ? std::string(" ") : std::move(text));
  } else {
    p.setValue(field.value());
  }
  p.setDataType(def.type);
}

// The table's name as the schema holds it: a quoted name must match
// Oracle's letter case exactly.
std::string SchemaTableName(const std::string& table,
                            const std::vector<std::string>& schemaTables) {
  for (const std::string& name : schemaTables) {
    if (name == table) return name;
  }
  for (const std::string& name : schemaTables) {
    if (SameText(name, table)) return name;
  }
  return table;
}

}  // namespace

void TVaultMigrationManager::CopyAllTablesToOracle() {
  WriteLog("Start Tavrin Vault database copying");
  auto source = std::make_unique<db::Query>(*FSourceDatabase);
  auto dest = std::make_unique<db::Query>(*FDestDatabase);
  DisableOracleConstraints();
  // The constraints come back whatever happens; a failure of that is the
  // one that is reported.
  const auto release = [&] {
    source.reset();
    dest.reset();
    EnableOracleConstraints();
  };
  try {
    const std::vector<std::string> sourceTables = FSourceDatabase->tableNames();
    std::vector<std::string> tables = FDestDatabase->tableNames();
    std::erase_if(tables, [&](const std::string& t) { return !Copied(t, sourceTables); });
    ClearOracleTables();
    for (const std::string& table : tables) {
      WriteLogFmt("Start Tavrin Vault database table \"%s\" copying", table);
      source->setSql(Format("Select * from %s", table));
      source->open();
      try {
        CopyTableRows(*source, *dest, table);
        WriteLogFmt("Tavrin Vault database table \"%s\" copying finished", table);
      } catch (const std::exception& e) {
        RaiseMigrationErrorFmt("Could not copy table \"%s\": %s", {table, std::string(e.what())});
      }
      source->close();
    }
  } catch (...) {
    release();
    throw;
  }
  release();
  WriteLog("Tavrin Vault database copying finished");
}

void TVaultMigrationManager::ClearOracleTables() {
  const std::string& schema = FDestDatabase->catalog();
  const std::vector<std::string> schemaTables = FDestDatabase->tableNames();
  for (const char* listed : kClearTableNames) {
    const std::string table = SchemaTableName(listed, schemaTables);
    try {
      FDestDatabase->executeDirect(Format("DELETE FROM \"%s\"", table));
    } catch (const std::exception& e) {
      RaiseMigrationErrorFmt("Could not delete data from table \"%s\".\"%s\": %s",
                             {schema, table, std::string(e.what())});
    }
  }
}

void TVaultMigrationManager::CopyTableRows(db::Query& source, db::Query& dest,
                                           const std::string& table) {
  dest.close();
  dest.setSql(BuildInsertSQL(source, table));
  source.first();
  if (source.eof()) return;
  // The columns keep their places from row to row: found once.
  std::vector<ColumnBinding> bindings;
  bindings.reserve(source.fieldDefs().size());
  for (const db::FieldDef& def : source.fieldDefs()) {
    bindings.push_back({&def, source.fieldIndex(def.name), &dest.paramByName(def.name)});
  }
  for (; !source.eof(); source.next()) {
    for (const ColumnBinding& b : bindings)
      BindColumn(b, source.field(b.field));
    dest.execSql();
  }
}

std::string TVaultMigrationManager::BuildInsertSQL(const db::Query& source,
                                                   const std::string& table) {
  std::string columns;
  std::string values;
  std::string separator;
  for (const db::FieldDef& def : source.fieldDefs()) {
    columns += Format("%s\"%s\"", separator, def.name);
    values += Format("%s:%s", separator, def.name);
    separator = ", ";
  }
  return Format("INSERT INTO \"%s\" (%s) VALUES (%s)", table, columns, values);
}

// A refused block raises the database's own error.
void TVaultMigrationManager::DisableOracleConstraints() {
  FDestDatabase->executeDirect(db::kOracleDisableConstraintsBlock);
}

void TVaultMigrationManager::EnableOracleConstraints() {
  FDestDatabase->executeDirect(db::kOracleEnableConstraintsBlock);
}

bool TVaultMigrationManager::OracleSchemaHasTables() {
  db::Query query(*FDestDatabase);
  query.setSql(kCountSchemaTables);
  query.open();
  return query.field(0).asInteger() > 0;
}

void TVaultMigrationManager::CheckOracleSchemaEmpty() {
  if (OracleSchemaHasTables()) {
    RaiseMigrationError("Destination database is not empty - it already has tables!");
  }
}

}  // namespace movrano
