#include "db/Types.h"

namespace movrano::db {

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::Unknown:
      return "Unknown";
    case FieldType::String:
      return "String";
    case FieldType::WideString:
      return "WideString";
    case FieldType::SmallInt:
      return "SmallInt";
    case FieldType::Integer:
      return "Integer";
    case FieldType::LargeInt:
      return "LargeInt";
    case FieldType::Float:
      return "Float";
    case FieldType::Boolean:
      return "Boolean";
    case FieldType::Date:
      return "Date";
    case FieldType::Time:
      return "Time";
    case FieldType::DateTime:
      return "DateTime";
    case FieldType::Memo:
      return "Memo";
    case FieldType::WideMemo:
      return "WideMemo";
    case FieldType::Blob:
      return "Blob";
  }
  return "Unknown";
}

bool IsBlobType(FieldType type) {
  return type == FieldType::Memo || type == FieldType::WideMemo || type == FieldType::Blob;
}

bool IsTextType(FieldType type) {
  return type == FieldType::String || type == FieldType::WideString;
}

}  // namespace movrano::db
