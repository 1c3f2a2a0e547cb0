#pragma once
// A walk over the significant tokens of a full token list (blanks and
// comments skipped), keeping their places, for the statements the Oracle
// stand-in reads itself. A statement it cannot read raises
// std::invalid_argument.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/oracle/OracleSql.h"

namespace movrano::db::oracle_detail {

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

}  // namespace movrano::db::oracle_detail
