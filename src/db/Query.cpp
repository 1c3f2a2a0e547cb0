#include "db/Query.h"

#include "platform/Text.h"

namespace movrano::db {

void Param::assign(Variant v, FieldType t) {
  value_ = std::move(v);
  type_ = t;
}
void Param::setInteger(int32_t v) {
  assign(Variant(v), FieldType::Integer);
}
void Param::setDouble(double v) {
  assign(Variant(v), FieldType::Float);
}
void Param::setDateTime(DateTime v) {
  assign(Variant(v), FieldType::DateTime);
}
void Param::setText(std::string v) {
  assign(Variant::Text(std::move(v)), FieldType::WideString);
}
void Param::setBlob(Bytes v, FieldType type) {
  assign(Variant::FromBytes(std::move(v)), type);
}
void Param::setBlob(SharedBytes v, FieldType type) {
  assign(Variant::FromBytes(std::move(v)), type);
}
void Param::setValue(Variant v) {
  assign(std::move(v), FieldType::Unknown);
}
void Param::setNull() {
  value_ = Variant::Null();
}
void Param::clear() {
  value_ = Variant();
}

Param* Params::find(std::string_view name) {
  for (auto& p : items_) {
    if (SameText(p.name(), name)) return &p;
  }
  return nullptr;
}

Param& Params::byName(std::string_view name) {
  if (Param* p = find(name)) return *p;
  throw EDatabaseError(Format("Parameter '%s' not found", std::string(name)));
}

void Params::reset(const std::vector<std::string>& names) {
  items_.clear();
  items_.reserve(names.size());
  for (const auto& n : names)
    items_.emplace_back(n);
}

std::string Field::asString() const {
  return isNull() ? std::string() : value_->toString();
}

int32_t Field::asInteger() const {
  return isNull() ? 0 : value_->toInt32();
}

Bytes Field::asBytes() const {
  if (isNull()) return {};
  if (value_->isBytes()) return value_->bytes();
  const std::string s = value_->toString();
  return Bytes(s.begin(), s.end());
}

Query::Query(Connection& connection) : connection_(connection) {}

Query::~Query() {
  try {
    close();
  } catch (...) {
    // A failing cursor close cannot be reported from here.
  }
}

void Query::setSql(std::string sql) {
  close();
  statement_.reset();
  sql_ = std::move(sql);
  parsed_ = ParseNamedParams(sql_);
  params_.reset(parsed_.names);
}

void Query::prepare() {
  if (statement_) return;
  auto statement = connection_.backend().makeStatement();
  connection_.runStatement([&] { statement->prepare(parsed_.positionalSql); });
  if (statement->positionCount() != static_cast<int>(parsed_.positions.size())) {
    throw EDatabaseError(Format("The statement has %d parameter positions, the text names %d",
                                statement->positionCount(),
                                static_cast<int>(parsed_.positions.size())));
  }
  statement_ = std::move(statement);
}

void Query::run() {
  close();
  prepare();
  for (size_t pos = 0; pos < parsed_.positions.size(); ++pos) {
    const Param& p = params_[parsed_.positions[pos]];
    statement_->bind(static_cast<int>(pos), BoundValue{p.value(), p.dataType()});
  }
  connection_.runStatement([this] { statement_->execute(); });
}

void Query::open() {
  close();
  prepare();
  // Refused before it runs, so a statement opened by mistake changes nothing.
  if (!statement_->returnsRows()) throw EDatabaseError("Can not open a Resultset");
  run();
  fieldDefs_ = statement_->describe();
  active_ = true;
  rowIndex_ = -1;
  fetchRow();
}

void Query::execSql() {
  run();
  const bool rows = statement_->returnsRows();
  statement_->closeCursor();
  connection_.statementDone(rows);
}

long Query::rowsAffected() const {
  return statement_ ? connection_.runStatement([this] { return statement_->rowsAffected(); }) : 0;
}

void Query::close() {
  if (!active_) return;
  active_ = false;
  eof_ = true;
  row_.clear();
  fieldDefs_.clear();
  if (statement_) statement_->closeCursor();
}

void Query::fetchRow() {
  eof_ = !connection_.runStatement([this] { return statement_->fetch(row_); });
  if (!eof_) ++rowIndex_;
}

void Query::first() {
  if (!active_) throw EDatabaseError("Operation is not allowed in closed dataset");
  if (rowIndex_ <= 0) return;
  open();  // the cursor only moves forward: read it again from the start
}

void Query::next() {
  if (!active_) throw EDatabaseError("Operation is not allowed in closed dataset");
  if (!eof_) fetchRow();
}

Field Query::field(int index) const {
  if (!active_ || eof_ || index < 0 || index >= fieldCount()) {
    throw EDatabaseError(Format("Field index %d is out of range", index));
  }
  return Field(fieldDefs_[index], row_[index]);
}

int Query::fieldIndex(std::string_view name) const {
  for (int i = 0; i < fieldCount(); ++i) {
    if (SameText(fieldDefs_[i].name, name)) return i;
  }
  return -1;
}

Field Query::fieldByName(std::string_view name) const {
  const int i = fieldIndex(name);
  if (i < 0) throw EDatabaseError(Format("Field '%s' not found", std::string(name)));
  return field(i);
}

}  // namespace movrano::db
