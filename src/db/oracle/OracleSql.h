#pragma once
// Oracle's SQL text as the stand-in reads it: tokens, identifier names
// (unquoted ones fold to upper case, quoted ones keep their case) and the
// pieces of the statements it treats itself.
//
// SQLite matches names without regard to case, so every name is stored
// encoded: a lower-case letter gets a "$" before it and a "$" is doubled.
// Two names that differ only in case then differ for SQLite too, and a
// name in upper case (every unquoted one) is stored as written.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movrano::db::oracle_detail {

std::string EncodeName(std::string_view name);
std::string DecodeName(std::string_view stored);

enum class TokenKind { Word, QuotedName, String, Number, Space, Comment, Other };

struct Token {
  TokenKind kind;
  std::string text;  // as written
  // A word folded to upper case, or a quoted name without its quotes.
  std::string name() const;
  bool isName() const { return kind == TokenKind::Word || kind == TokenKind::QuotedName; }
  bool is(std::string_view keyword) const;  // a word, without regard to case
};

std::vector<Token> Tokenize(std::string_view sql);

// The statement as SQLite is to read it: every name encoded (unquoted
// words folded first), every other token as written.
std::string ToSqlite(const std::vector<Token>& tokens);
std::string QuotedStoredName(std::string_view name);  // "<encoded>"

// A text as an SQL string literal, and texts joined by a separator.
std::string SqlLiteral(std::string_view text);
std::string JoinTexts(const std::vector<std::string>& items, std::string_view separator);

// Where an INSERT ... VALUES or an UPDATE ... SET writes its values: the
// table, and for each value its column and the range of tokens (in the
// full token list) that gives it.
struct ValueSlot {
  std::string column;  // empty: the table's column at `position`
  size_t position = 0;
  size_t begin = 0;
  size_t end = 0;
};
struct WriteTarget {
  std::string table;
  std::vector<ValueSlot> slots;
};
std::optional<WriteTarget> ParseWrite(const std::vector<Token>& tokens);

}  // namespace movrano::db::oracle_detail
