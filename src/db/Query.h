#pragma once
// A statement over a connection: SQL text with ":"-named parameters,
// typed parameter values, prepare/open/execute, forward row navigation
// and fields by position or name.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/Connection.h"
#include "db/NamedParams.h"

namespace movrano::db {

class Param {
 public:
  explicit Param(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }
  FieldType dataType() const { return type_; }
  void setDataType(FieldType t) { type_ = t; }
  const Variant& value() const { return value_; }
  bool isNull() const { return value_.isNullOrEmpty(); }

  void setInteger(int32_t v);
  void setDouble(double v);
  void setDateTime(DateTime v);
  void setText(std::string v);
  // Bytes as a BLOB, or typed as a wide memo (text BLOB).
  void setBlob(Bytes v, FieldType type = FieldType::Blob);
  // Bytes another value already holds, shared rather than copied.
  void setBlob(SharedBytes v, FieldType type = FieldType::Blob);
  // Takes the variant's own value and type; Empty or Null bind SQL NULL.
  void setValue(Variant v);
  void setNull();
  void clear();

 private:
  void assign(Variant v, FieldType t);
  std::string name_;
  FieldType type_ = FieldType::Unknown;
  Variant value_;
};

class Params {
 public:
  int count() const { return static_cast<int>(items_.size()); }
  Param& operator[](int i) { return items_.at(i); }
  const Param& operator[](int i) const { return items_.at(i); }
  // Names compare without regard to case; nullptr when absent.
  Param* find(std::string_view name);
  // Raises EDatabaseError when absent.
  Param& byName(std::string_view name);
  void reset(const std::vector<std::string>& names);

 private:
  std::vector<Param> items_;
};

class Field {
 public:
  Field(const FieldDef& def, const Variant& value) : def_(&def), value_(&value) {}
  const FieldDef& def() const { return *def_; }
  const std::string& name() const { return def_->name; }
  const Variant& value() const { return *value_; }
  bool isNull() const { return value_->isNullOrEmpty(); }
  std::string asString() const;  // NULL reads as ""
  int32_t asInteger() const;     // NULL reads as 0
  Bytes asBytes() const;         // BLOB or text contents; NULL reads as no bytes

 private:
  const FieldDef* def_;
  const Variant* value_;
};

class Query {
 public:
  explicit Query(Connection& connection);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Connection& connection() { return connection_; }
  // Setting the text closes the query and rebuilds its parameter list.
  void setSql(std::string sql);
  const std::string& sql() const { return sql_; }
  Params& params() { return params_; }
  Param* findParam(std::string_view name) { return params_.find(name); }
  Param& paramByName(std::string_view name) { return params_.byName(name); }

  void prepare();
  bool prepared() const { return statement_ != nullptr; }
  // Runs a statement that returns rows; one that returns none raises.
  void open();
  // Runs a statement without a result set.
  void execSql();
  void close();
  bool active() const { return active_; }
  long rowsAffected() const;

  bool eof() const { return eof_; }
  void first();  // back to the first row (runs the statement again when past it)
  void next();

  int fieldCount() const { return static_cast<int>(fieldDefs_.size()); }
  const std::vector<FieldDef>& fieldDefs() const { return fieldDefs_; }
  Field field(int index) const;
  int fieldIndex(std::string_view name) const;     // -1 when absent
  Field fieldByName(std::string_view name) const;  // raises when absent

 private:
  void run();
  void fetchRow();

  Connection& connection_;
  std::string sql_;
  ParsedSql parsed_;
  Params params_;
  std::unique_ptr<StatementBackend> statement_;
  std::vector<FieldDef> fieldDefs_;
  std::vector<Variant> row_;
  bool active_ = false;
  bool eof_ = true;
  long rowIndex_ = 0;
};

}  // namespace movrano::db
