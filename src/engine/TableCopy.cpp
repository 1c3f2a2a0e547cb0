// The named table copy: a source query read row by row into a prepared
// destination insert, columns bound to parameters by name.
#include "db/Query.h"
#include "engine/VaultMigrationManager.h"
#include "platform/PaintMessages.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {

constexpr int32_t kProgressEveryRows = 200;

// Where one source column goes, resolved once per table.
struct ColumnBinding {
  db::Param* param;
  TConvertProc convert;  // may be unset
  db::FieldType type;
};

// The source row as the failure line shows it: "NAME=value, " per column.
std::string DescribeRow(const db::Query& source) {
  std::string text;
  for (int i = 0; i < source.fieldCount(); ++i) {
    const db::Field f = source.field(i);
    std::string value;
    if (f.def().type == db::FieldType::Blob && !f.isNull()) {
      // Raw bytes would garble the log line.
      value = Format("(BLOB, %d bytes)", static_cast<int64_t>(f.value().bytes().size()));
    } else {
      value = f.asString();
    }
    text += Format("%s=%s, ", f.name(), value);
  }
  return text;
}

void BindColumn(const ColumnBinding& b, const db::Field& field) {
  if (b.convert) {
    b.param->setText(b.convert(field.asString()));
    return;
  }
  switch (b.type) {
    case db::FieldType::Blob:
      if (field.isNull() || field.value().bytes().empty()) {
        b.param->setNull();
      } else {
        b.param->setBlob(field.value().sharedBytes());
      }
      return;
    case db::FieldType::Memo:
    case db::FieldType::WideMemo:
      b.param->setText(field.asString());
      return;
    default:
      b.param->setValue(field.value());
  }
}

}  // namespace

void TVaultMigrationManager::CopyTable(const std::string& sourceStatement,
                                       const std::string& destStatement, const std::string& caption,
                                       const std::vector<std::string>& fieldNames,
                                       const TConvertProc& convert) {
  WriteLogFmt("Start copy %s", caption);
  const std::unique_ptr<db::Query> source = CreateQuery(*FSourceDatabase, sourceStatement);
  const std::unique_ptr<db::Query> dest = CreateQuery(*FDestDatabase, destStatement);
  dest->prepare();
  source->open();
  if (source->fieldCount() != dest->params().count()) {
    RaiseMigrationErrorFmt("Diffrenet parameters number in %s", {caption});
  }
  if (source->eof()) {
    WriteLogFmt("Empty table %s", caption);
    return;
  }

  std::vector<ColumnBinding> bindings;
  bindings.reserve(source->fieldCount());
  for (const db::FieldDef& def : source->fieldDefs()) {
    db::Param* param = dest->findParam(def.name);
    if (!param) RaiseMigrationErrorFmt("Could not find parameter %s", {def.name});
    TConvertProc columnConvert;
    if (auto it = FFieldConvertProcs.find(def.name); it != FFieldConvertProcs.end()) {
      columnConvert = it->second;
    }
    for (const std::string& name : fieldNames) {
      if (name == def.name) {
        columnConvert = convert;
        break;
      }
    }
    bindings.push_back({param, std::move(columnConvert), def.type});
  }
  // Let go of a row's BLOBs before the next row is read, so that one large
  // BLOB is held at a time.
  std::vector<db::Param*> blobParams;
  for (const ColumnBinding& b : bindings) {
    if (b.type == db::FieldType::Blob) blobParams.push_back(b.param);
  }

  const std::string progressCaption = "Copying data from " + caption;
  while (!source->eof()) {
    for (size_t i = 0; i < bindings.size(); ++i) {
      BindColumn(bindings[i], source->field(static_cast<int>(i)));
    }
    try {
      dest->execSql();
    } catch (...) {
      WriteLogFmt("Error inserting %s", DescribeRow(*source));
      throw;
    }
    for (db::Param* p : blobParams)
      p->clear();
    source->next();
    ++FCopiedItems;
    if (FCopiedItems % kProgressEveryRows == 0) {
      if (FProgressEvent) {
        // An unknown total (no source rows counted) reports no position.
        const int32_t position =
            FTotalItems > 0
                ? static_cast<int32_t>(static_cast<double>(FCopiedItems) * 100 / FTotalItems)
                : 0;
        FProgressEvent(progressCaption, position);
      }
      ProcessPaintMessages();
    }
  }
}

std::string TVaultMigrationManager::CollectUserGUID(const std::string& AOriginalValue) {
  if (!AOriginalValue.empty() && !FRequiredUsers.contains(AOriginalValue)) {
    FRequiredUsers.emplace(AOriginalValue, nullptr);
  }
  return AOriginalValue;
}

std::string TVaultMigrationManager::ConvertToOrganisationGUID(const std::string&) {
  return DefaultOrganisationGUID;
}

}  // namespace movrano
