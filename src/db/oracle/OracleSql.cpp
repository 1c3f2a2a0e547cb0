#include "db/oracle/OracleSql.h"

#include <cctype>

#include "db/oracle/OracleCursor.h"
#include "platform/Text.h"

namespace movrano::db::oracle_detail {

namespace {

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsWordChar(char c) {
  return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$' || c == '#';
}

// The end of a quoted piece that starts at `at`; a doubled quote stays
// inside it.
size_t QuotedEnd(std::string_view sql, size_t at) {
  const char quote = sql[at];
  size_t i = at + 1;
  while (i < sql.size()) {
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return sql.size();
}

}  // namespace

std::string EncodeName(std::string_view name) {
  std::string stored;
  for (const char c : name) {
    if (c == '$' || (c >= 'a' && c <= 'z')) stored += '$';
    stored += c;
  }
  return stored;
}

std::string DecodeName(std::string_view stored) {
  std::string name;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '$' && i + 1 < stored.size() &&
        (stored[i + 1] == '$' || (stored[i + 1] >= 'a' && stored[i + 1] <= 'z'))) {
      ++i;
    }
    name += stored[i];
  }
  return name;
}

std::string Token::name() const {
  if (kind == TokenKind::QuotedName) {
    std::string inner = text.substr(1, text.size() >= 2 ? text.size() - 2 : 0);
    return inner;
  }
  return UpperCase(text);
}

bool Token::is(std::string_view keyword) const {
  return kind == TokenKind::Word && SameText(text, keyword);
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    size_t end = i + 1;
    TokenKind kind = TokenKind::Other;
    if (std::isspace(static_cast<unsigned char>(c))) {
      while (end < sql.size() && std::isspace(static_cast<unsigned char>(sql[end])))
        ++end;
      kind = TokenKind::Space;
    } else if (sql.substr(i, 2) == "--") {
      end = sql.find('\n', i);
      end = end == std::string_view::npos ? sql.size() : end;
      kind = TokenKind::Comment;
    } else if (sql.substr(i, 2) == "/*") {
      end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
      kind = TokenKind::Comment;
    } else if (c == '\'') {
      end = QuotedEnd(sql, i);
      kind = TokenKind::String;
    } else if (c == '"') {
      end = QuotedEnd(sql, i);
      kind = TokenKind::QuotedName;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < sql.size() &&
                std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      while (end < sql.size() &&
             (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '.' ||
              ((sql[end] == '+' || sql[end] == '-') &&
               (sql[end - 1] == 'e' || sql[end - 1] == 'E')))) {
        ++end;
      }
      kind = TokenKind::Number;
    } else if (IsWordStart(c)) {
      while (end < sql.size() && IsWordChar(sql[end]))
        ++end;
      kind = TokenKind::Word;
    } else if ((c == '|' || c == '<' || c == '>' || c == '!') && i + 1 < sql.size() &&
               (sql[i + 1] == '|' || sql[i + 1] == '=' || sql[i + 1] == '>')) {
      end = i + 2;
    }
    tokens.push_back({kind, std::string(sql.substr(i, end - i))});
    i = end;
  }
  return tokens;
}

std::string QuotedStoredName(std::string_view name) {
  return "\"" + EncodeName(name) + "\"";
}

std::string ToSqlite(const std::vector<Token>& tokens) {
  std::string sql;
  for (const Token& t : tokens) {
    if (t.kind == TokenKind::QuotedName) {
      sql += QuotedStoredName(t.name());
    } else if (t.kind == TokenKind::Word) {
      const std::string folded = t.name();
      // A keyword stays a keyword; a name with "$" can be none.
      sql += folded.find('$') == std::string::npos ? folded : QuotedStoredName(folded);
    } else {
      sql += t.text;
    }
  }
  return sql;
}

std::string SqlLiteral(std::string_view text) {
  std::string out = "'";
  for (const char c : text)
    out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string JoinTexts(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (const auto& item : items)
    out += (out.empty() ? "" : std::string(separator)) + item;
  return out;
}

std::optional<WriteTarget> ParseWrite(const std::vector<Token>& tokens) {
  Cursor c(tokens);
  WriteTarget target;
  const auto valueEnd = [](const Token& t) { return t.kind == TokenKind::Other && t.text == ","; };
  if (c.take("INSERT")) {
    if (!c.take("INTO")) return std::nullopt;
    target.table = c.name();
    std::vector<std::string> columns;
    if (c.peek().kind == TokenKind::Other && c.peek().text == "(") columns = c.nameList();
    if (!c.take("VALUES")) return std::nullopt;  // INSERT ... SELECT
    do {
      c.expect("(");
      size_t index = 0;
      do {
        const size_t begin = c.skipExpression(valueEnd);
        target.slots.push_back(
            {index < columns.size() ? columns[index] : std::string(), index, begin, c.place()});
        ++index;
      } while (c.takeSymbol(","));
      c.expect(")");
    } while (c.takeSymbol(","));
    return target;
  }
  if (c.take("UPDATE")) {
    target.table = c.name();
    if (!c.take("SET")) return std::nullopt;
    do {
      const std::string column = c.name();
      if (!c.takeSymbol("=")) return std::nullopt;
      const size_t begin =
          c.skipExpression([&](const Token& t) { return valueEnd(t) || t.is("WHERE"); });
      target.slots.push_back({column, 0, begin, c.place()});
    } while (c.takeSymbol(","));
    return target;
  }
  return std::nullopt;
}

}  // namespace movrano::db::oracle_detail
