#pragma once
// Field and parameter data types, field definitions, and the layer's error.
#include <string>

#include "platform/Exceptions.h"

namespace movrano::db {

enum class FieldType {
  Unknown,
  String,
  WideString,
  SmallInt,
  Integer,
  LargeInt,
  Float,
  Boolean,
  Date,
  Time,
  DateTime,
  Memo,
  WideMemo,
  Blob,
};

bool IsBlobType(FieldType type);
bool IsTextType(FieldType type);  // String or WideString

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Unknown;
  bool required = false;  // declared NOT NULL
  int size = 0;           // characters for text columns, else 0
  bool isBlob() const { return IsBlobType(type); }
};

// Every failure of a database or of this layer's use of it.
class EDatabaseError : public Exception {
 public:
  explicit EDatabaseError(const std::string& message, int sqlCode = 0, long errorCode = 0)
      : Exception(message), sqlCode_(sqlCode), errorCode_(errorCode) {}
  const char* className() const noexcept override { return "EZSQLException"; }
  int sqlCode() const noexcept { return sqlCode_; }
  long errorCode() const noexcept { return errorCode_; }

 private:
  int sqlCode_;
  long errorCode_;
};

}  // namespace movrano::db
