#include "db/oracle/OracleSql.h"

#include <cctype>
#include <stdexcept>

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

// Walks the significant tokens of a full token list, keeping their places.
class Cursor {
 public:
  explicit Cursor(const std::vector<Token>& tokens, size_t at = 0) : tokens_(tokens), at_(at) {
    skip();
  }
  bool atEnd() const { return at_ >= tokens_.size(); }
  size_t place() const { return at_; }
  const Token& peek() const {
    static const Token kNone{TokenKind::Other, ""};
    return atEnd() ? kNone : tokens_[at_];
  }
  const Token& next() {
    const Token& t = peek();
    if (!atEnd()) ++at_;
    skip();
    return t;
  }
  bool take(std::string_view keyword) {
    if (!peek().is(keyword)) return false;
    next();
    return true;
  }
  bool takeSymbol(std::string_view symbol) {
    if (peek().kind != TokenKind::Other || peek().text != symbol) return false;
    next();
    return true;
  }
  void expect(std::string_view symbol) {
    if (!takeSymbol(symbol)) fail("\"" + std::string(symbol) + "\" expected");
  }
  std::string name() {
    if (!peek().isName()) fail("a name expected");
    return next().name();
  }
  // Moves past the tokens up to the first one, outside parentheses, that
  // `stop` accepts (or a closing parenthesis of the enclosing level);
  // answers where they began.
  template <typename Stop>
  size_t skipExpression(Stop stop) {
    const size_t begin = at_;
    int depth = 0;
    while (!atEnd()) {
      const Token& t = peek();
      if (depth == 0 && (stop(t) || (t.kind == TokenKind::Other && t.text == ")"))) break;
      if (t.kind == TokenKind::Other && t.text == "(") ++depth;
      if (t.kind == TokenKind::Other && t.text == ")") --depth;
      next();
    }
    return begin;
  }
  // The names of "( a, b )".
  std::vector<std::string> nameList() {
    std::vector<std::string> names;
    expect("(");
    do {
      names.push_back(name());
    } while (takeSymbol(","));
    expect(")");
    return names;
  }
  // The text as written from `begin` up to here, without trailing blanks.
  std::string textFrom(size_t begin) const {
    std::string text;
    for (size_t i = begin; i < at_ && i < tokens_.size(); ++i)
      text += tokens_[i].text;
    return Trim(text);
  }
  [[noreturn]] static void fail(const std::string& what) { throw std::invalid_argument(what); }

 private:
  void skip() {
    while (at_ < tokens_.size() &&
           (tokens_[at_].kind == TokenKind::Space || tokens_[at_].kind == TokenKind::Comment)) {
      ++at_;
    }
  }
  const std::vector<Token>& tokens_;
  size_t at_;
};

bool IsConstraintWord(const Token& t) {
  for (const char* k :
       {"CONSTRAINT", "NOT", "NULL", "PRIMARY", "UNIQUE", "REFERENCES", "CHECK", "DEFAULT"}) {
    if (t.is(k)) return true;
  }
  return false;
}

// What follows a column's type, or a table constraint after its name.
bool ParseConstraint(Cursor& c, ConstraintDef& def, bool ofColumn) {
  if (c.take("PRIMARY")) {
    if (!c.take("KEY")) Cursor::fail("KEY expected");
    def.type = 'P';
    if (!ofColumn) def.columns = c.nameList();
  } else if (c.take("UNIQUE")) {
    def.type = 'U';
    if (!ofColumn) def.columns = c.nameList();
  } else if (ofColumn && c.take("NOT")) {
    if (!c.take("NULL")) Cursor::fail("NULL expected");
    def.type = 'C';
    def.notNull = true;
  } else if (c.take("CHECK")) {
    def.type = 'C';
    c.expect("(");
    const size_t begin = c.skipExpression([](const Token&) { return false; });
    def.condition = c.textFrom(begin);
    c.expect(")");
  } else if (c.take("FOREIGN") || (ofColumn && c.peek().is("REFERENCES"))) {
    if (!ofColumn) {
      if (!c.take("KEY")) Cursor::fail("KEY expected");
      def.columns = c.nameList();
    }
    if (!c.take("REFERENCES")) Cursor::fail("REFERENCES expected");
    def.type = 'R';
    def.refTable = c.name();
    if (c.peek().kind == TokenKind::Other && c.peek().text == "(") def.refColumns = c.nameList();
    if (c.take("ON")) {
      c.next();  // DELETE
      c.next();  // CASCADE, SET
      c.take("NULL");
    }
  } else {
    return false;
  }
  return true;
}

void ParseColumn(Cursor& c, TableDef& table) {
  ColumnDef column;
  column.name = c.name();
  const size_t typeBegin = c.skipExpression([](const Token& t) {
    return IsConstraintWord(t) || (t.kind == TokenKind::Other && t.text == ",");
  });
  column.type = c.textFrom(typeBegin);
  while (!c.atEnd() &&
         !(c.peek().kind == TokenKind::Other && (c.peek().text == "," || c.peek().text == ")"))) {
    if (c.take("DEFAULT")) {
      const size_t begin = c.skipExpression([](const Token& t) {
        return IsConstraintWord(t) || (t.kind == TokenKind::Other && t.text == ",");
      });
      column.defaultText = c.textFrom(begin);
      continue;
    }
    if (c.take("NULL")) continue;
    ConstraintDef def;
    if (c.take("CONSTRAINT")) def.name = c.name();
    if (!ParseConstraint(c, def, true)) Cursor::fail("a column constraint expected");
    def.columns = {column.name};
    table.constraints.push_back(std::move(def));
  }
  table.columns.push_back(std::move(column));
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

std::optional<TableDef> ParseCreateTable(const std::vector<Token>& tokens) {
  Cursor c(tokens);
  if (!c.take("CREATE")) return std::nullopt;
  if (!c.take("TABLE")) return std::nullopt;
  TableDef table;
  table.name = c.name();
  c.expect("(");
  do {
    if (c.peek().is("CONSTRAINT") || c.peek().is("PRIMARY") || c.peek().is("UNIQUE") ||
        c.peek().is("FOREIGN") || c.peek().is("CHECK")) {
      ConstraintDef def;
      if (c.take("CONSTRAINT")) def.name = c.name();
      if (!ParseConstraint(c, def, false)) Cursor::fail("a table constraint expected");
      table.constraints.push_back(std::move(def));
    } else {
      ParseColumn(c, table);
    }
  } while (c.takeSymbol(","));
  c.expect(")");
  return table;
}

std::optional<std::string> ParseDropTable(const std::vector<Token>& tokens) {
  Cursor c(tokens);
  if (!c.take("DROP") || !c.take("TABLE")) return std::nullopt;
  return c.name();
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
