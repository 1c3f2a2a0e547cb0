#include "db/Types.h"

namespace movrano::db {

bool IsBlobType(FieldType type) {
  return type == FieldType::Memo || type == FieldType::WideMemo || type == FieldType::Blob;
}

bool IsTextType(FieldType type) {
  return type == FieldType::String || type == FieldType::WideString;
}

}  // namespace movrano::db
