#include "db/NamedParams.h"

#include "platform/Text.h"

namespace movrano::db {

namespace {
bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// Copies a quoted run (literal or identifier) starting at `i`; a doubled
// quote stays inside it. Returns the index after the closing quote.
size_t CopyQuoted(std::string_view sql, size_t i, std::string& out) {
  const char quote = sql[i];
  out += sql[i++];
  while (i < sql.size()) {
    out += sql[i];
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        out += sql[++i];
      } else {
        return i + 1;
      }
    }
    ++i;
  }
  return i;
}
}  // namespace

ParsedSql ParseNamedParams(std::string_view sql) {
  ParsedSql result;
  std::string& out = result.positionalSql;
  out.reserve(sql.size());
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = CopyQuoted(sql, i, out);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const size_t end = sql.find('\n', i);
      const size_t stop = end == std::string_view::npos ? sql.size() : end;
      out.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      const size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
      out.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
      out += "::";
      i += 2;
    } else if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1])) {
      size_t end = i + 1;
      while (end < sql.size() && IsNameChar(sql[end]))
        ++end;
      const std::string_view name = sql.substr(i + 1, end - i - 1);
      int index = -1;
      for (size_t k = 0; k < result.names.size(); ++k) {
        if (SameText(result.names[k], name)) {
          index = static_cast<int>(k);
          break;
        }
      }
      if (index < 0) {
        index = static_cast<int>(result.names.size());
        result.names.emplace_back(name);
      }
      result.positions.push_back(index);
      out += '?';
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  return result;
}

}  // namespace movrano::db
