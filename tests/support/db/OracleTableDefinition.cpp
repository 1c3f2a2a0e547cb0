#include "support/db/OracleTableDefinition.h"

#include "db/oracle/OracleCursor.h"
#include "db/oracle/OracleSql.h"
#include "platform/Text.h"

namespace movrano::testing {

namespace {

using db::oracle_detail::Cursor;
using db::oracle_detail::Token;
using db::oracle_detail::Tokenize;
using db::oracle_detail::TokenKind;

// A cursor over a statement's tokens that also gives the text it passed.
struct Reader {
  explicit Reader(std::string_view sql) : tokens(Tokenize(sql)), c(tokens) {}
  // The text as written from `begin` up to here, without trailing blanks.
  std::string textFrom(size_t begin) const {
    std::string text;
    for (size_t i = begin; i < c.place() && i < tokens.size(); ++i)
      text += tokens[i].text;
    return Trim(text);
  }
  const std::vector<Token> tokens;
  Cursor c;
};

bool IsConstraintWord(const Token& t) {
  for (const char* k :
       {"CONSTRAINT", "NOT", "NULL", "PRIMARY", "UNIQUE", "REFERENCES", "CHECK", "DEFAULT"}) {
    if (t.is(k)) return true;
  }
  return false;
}

bool EndsItem(const Token& t) {
  return IsConstraintWord(t) || (t.kind == TokenKind::Other && t.text == ",");
}

// What follows a column's type, or a table constraint after its name.
bool ParseConstraint(Reader& r, OracleConstraintDef& def, bool ofColumn) {
  Cursor& c = r.c;
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
    def.condition = r.textFrom(begin);
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

void ParseColumn(Reader& r, OracleTableDef& table) {
  Cursor& c = r.c;
  OracleColumnDef column;
  column.name = c.name();
  column.type = r.textFrom(c.skipExpression(EndsItem));
  while (!c.atEnd() &&
         !(c.peek().kind == TokenKind::Other && (c.peek().text == "," || c.peek().text == ")"))) {
    if (c.take("DEFAULT")) {
      column.defaultText = r.textFrom(c.skipExpression(EndsItem));
      continue;
    }
    if (c.take("NULL")) continue;
    OracleConstraintDef def;
    if (c.take("CONSTRAINT")) def.name = c.name();
    if (!ParseConstraint(r, def, true)) Cursor::fail("a column constraint expected");
    def.columns = {column.name};
    table.constraints.push_back(std::move(def));
  }
  table.columns.push_back(std::move(column));
}

}  // namespace

std::optional<OracleTableDef> ParseCreateTable(std::string_view sql) {
  Reader r(sql);
  Cursor& c = r.c;
  if (!c.take("CREATE")) return std::nullopt;
  if (!c.take("TABLE")) return std::nullopt;
  OracleTableDef table;
  table.name = c.name();
  c.expect("(");
  do {
    if (c.peek().is("CONSTRAINT") || c.peek().is("PRIMARY") || c.peek().is("UNIQUE") ||
        c.peek().is("FOREIGN") || c.peek().is("CHECK")) {
      OracleConstraintDef def;
      if (c.take("CONSTRAINT")) def.name = c.name();
      if (!ParseConstraint(r, def, false)) Cursor::fail("a table constraint expected");
      table.constraints.push_back(std::move(def));
    } else {
      ParseColumn(r, table);
    }
  } while (c.takeSymbol(","));
  c.expect(")");
  return table;
}

std::optional<std::string> ParseDropTable(std::string_view sql) {
  Reader r(sql);
  if (!r.c.take("DROP") || !r.c.take("TABLE")) return std::nullopt;
  return r.c.name();
}

}  // namespace movrano::testing
