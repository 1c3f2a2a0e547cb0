#include "statements/uSQLUtils.h"

#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "statements/uSQLManager.h"

namespace movrano {
namespace {

using db::VarType;

// The binding follows the value's own type code, not a conversion of it.
void BindValue(db::Param& param, const db::Variant& value) {
  if (db::IsSignedIntegerType(value.type())) {
    param.setInteger(value.toInt32());  // ERangeError beyond 32 bits
    return;
  }
  switch (value.type()) {
    case VarType::Single:  // a float, so that no fraction is lost
    case VarType::Double:
    case VarType::Currency:
      param.setDouble(value.toDouble());
      break;
    case VarType::Date:
      param.setDateTime(value.toDateTime());
      break;
    case VarType::Boolean:
      param.setInteger(value.toBool() ? 1 : 0);
      break;
    case VarType::String:
      param.setText(value.toString());
      break;
    default:  // Empty and Null bind SQL NULL
      param.setValue(value);
      break;
  }
}

// The parameter of each name, checked before anything is bound.
std::vector<db::Param*> ResolveParams(db::Query& query, const std::vector<std::string>& names,
                                      size_t valueCount) {
  db::Params& params = query.params();
  const auto count = static_cast<size_t>(params.count());
  if (count != names.size() || count != valueCount) {
    throw Exception("Count of params and values are different!");
  }
  std::vector<db::Param*> resolved;
  for (const auto& name : names) {
    db::Param* param = params.find(name);
    if (!param) throw Exception(Format("Param %s not found", name));
    // A name given twice would leave another parameter silently NULL.
    for (const db::Param* earlier : resolved) {
      if (earlier == param) throw Exception(Format("Param %s given more than once", name));
    }
    resolved.push_back(param);
  }
  return resolved;
}

db::Variant NullWhenEmpty(const db::Variant& value) {
  return value.isNullOrEmpty() ? db::Variant::Null() : value;
}

}  // namespace

std::unique_ptr<db::Query> CreateQuery(db::Connection& AConnection, std::string_view AName) {
  auto query = std::make_unique<db::Query>(AConnection);
  query->setSql(SQLManager().FindSQL(AName));
  return query;
}

void GetValue(db::Connection& AConnection, std::string_view AName, db::Variant& AValue) {
  AValue = db::Variant::Null();
  const auto query = CreateQuery(AConnection, AName);
  query->open();
  if (!query->eof()) AValue = NullWhenEmpty(query->field(0).value());
}

void GetRow(db::Connection& AConnection, std::string_view AName, TVarArray& ARow) {
  const auto query = CreateQuery(AConnection, AName);
  query->open();
  if (query->eof()) return;
  TVarArray row;
  row.reserve(query->fieldCount());
  for (int i = 0; i < query->fieldCount(); ++i)
    row.push_back(NullWhenEmpty(query->field(i).value()));
  ARow = std::move(row);
}

void ExecStatement(db::Connection& AConnection, std::string_view AName,
                   const std::vector<std::string>& ANames,
                   const std::vector<db::Variant>& AValues) {
  const auto query = CreateQuery(AConnection, AName);
  query->prepare();
  BindParams(*query, ANames, AValues);
  query->execSql();
}

void BindParams(db::Query& AQuery, const std::vector<std::string>& ANames,
                const std::vector<db::Variant>& AValues) {
  const std::vector<db::Param*> params = ResolveParams(AQuery, ANames, AValues.size());
  for (size_t i = 0; i < params.size(); ++i)
    BindValue(*params[i], AValues[i]);
}

}  // namespace movrano
