#include <gtest/gtest.h>

#include <ostream>

#include "statements/StatementFile.h"
#include "support/platform/TempDir.h"

namespace movrano {

void PrintTo(const StatementDef& s, std::ostream* os) {
  *os << "{\"" << s.name << "\":";
  for (const auto& line : s.lines)
    *os << " [" << line << "]";
  *os << "}";
}

namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
  std::string text;
  Lines lines;
};

TEST(StatementFileLines, SplitAtEveryKindOfBreakWithoutATrailingEmptyLine) {
  const SplitCase cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\rb\r\nc\nd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then a lone CR: two breaks
      {" x \t\r\n  y", {" x \t", "  y"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitLines(c.text), c.lines) << "text: " << c.text;
}

TEST(StatementFileLines, JoinPutsCrLfAfterEveryLine) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({""}), "\r\n");
  EXPECT_EQ(JoinLines({"a", " b "}), "a\r\n b \r\n");
}

struct HeaderCase {
  std::string line;
  bool header;
  std::string name;  // when header
};

TEST(StatementFileHeaders, RecogniseHeaderLinesAndTheirNames) {
  const HeaderCase cases[] = {
      {"--$sql_vault_info", true, "sql_vault_info"},
      {"--@sql_vault_info", true, "sql_vault_info"},
      {"   --$ sql_vault_info   ", true, "sql_vault_info"},
      {"\t\x01--@\t name with blanks \x1f", true, "name with blanks"},
      {"--$", true, ""},
      {"  --@   ", true, ""},
      {"--$$x", true, "$x"},
      {"select 1 --$ x", false, ""},
      {"-- $x", false, ""},
      {"-$x", false, ""},
      {"--#x", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsStatementHeader(c.line), c.header) << "line: " << c.line;
    if (c.header) {
      EXPECT_EQ(ExtractStatementName(c.line), c.name) << "line: " << c.line;
    }
  }
}

TEST(StatementFileHeaders, AMarkerAnywhereMakesAMarkedText) {
  EXPECT_TRUE(HasStatementHeaders("--$a"));
  EXPECT_TRUE(HasStatementHeaders("select '--@' from x"));
  EXPECT_FALSE(HasStatementHeaders("select '-- $' from x -- @"));
  EXPECT_FALSE(HasStatementHeaders(""));
}

struct ParseCase {
  const char* what;
  std::string text;
  std::vector<StatementDef> statements;
};

TEST(StatementFileParse, FileTextsAndTheStatementsTheyYield) {
  const ParseCase cases[] = {
      {"lines kept exactly, header trimmed",
       "  --$ sql_vault_info  \r\nselect GUID\r\n   from VAULT   \r\n",
       {{"sql_vault_info", {"select GUID", "   from VAULT   "}}}},
      {"lines before the first header dropped",
       "-- comment\r\nstray sql\r\n--@a\r\nselect 1\r\n",
       {{"a", {"select 1"}}}},
      {"marker alone names the empty name", "--$\nselect 1\n", {{"", {"select 1"}}}},
      {"marker only inside a string: marked, no statement", "select '--$' from x\nwhere 1=1\n", {}},
      {"later marker stays part of the statement",
       "--$a\nselect 1 --@ not a header\n",
       {{"a", {"select 1 --@ not a header"}}}},
      {"header right after header: empty statement",
       "--$a\n--$b\nselect 2\n",
       {{"a", {}}, {"b", {"select 2"}}}},
      {"blank and comment lines belong to the statement",
       "--$a\n\n-- note\n  select 1\n\n--$b\nx",
       {{"a", {"", "-- note", "  select 1", ""}}, {"b", {"x"}}}},
      {"both markers in one file", "--@a\n1\n--$b\n2", {{"a", {"1"}}, {"b", {"2"}}}},
      {"repeated names kept apart in file order",
       "--$a\n1\n--$A\n2\n",
       {{"a", {"1"}}, {"A", {"2"}}}},
      {"unmarked file is one statement named after the file",
       "select 1\r\n\r\nfrom x\rwhere y\n",
       {{"Plain.sql", {"select 1", "", "from x", "where y"}}}},
      {"empty unmarked file: a statement without lines", "", {{"Plain.sql", {}}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseStatements(c.text, "Plain.sql"), c.statements) << c.what;
}

struct DecodeCase {
  const char* what;
  std::string bytes;
  std::string text;
};

// A file marked as UTF-8 is UTF-8 throughout: each ill-formed sequence
// (its longest valid start, else one byte) becomes U+FFFD, which the
// server takes, instead of reaching it as raw bytes.
TEST(StatementFileText, InvalidBytesOfAUtf8MarkedFileBecomeReplacementCharacters) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string fffd = "\xEF\xBF\xBD";
  const DecodeCase cases[] = {
      {"valid text stays",
       "'Gr\xC3\xBC\xC3\x9F"
       "e \xE6\x9D\xB1 \xF0\x9F\x93\x90'",
       "'Gr\xC3\xBC\xC3\x9F"
       "e \xE6\x9D\xB1 \xF0\x9F\x93\x90'"},
      {"a Windows-1252 byte", "'caf\xE9'", "'caf" + fffd + "'"},
      {"a lone continuation byte", "a\x80z", "a" + fffd + "z"},
      {"a byte that never starts a sequence", "a\xFFz", "a" + fffd + "z"},
      {"a cut sequence is one character", "a\xE2\x82z", "a" + fffd + "z"},
      {"a cut sequence at the end", "a\xF0\x9F\x93", "a" + fffd},
      {"an overlong form", "\xC0\xAF", fffd + fffd},
      {"a surrogate", "\xED\xA0\x80", fffd + fffd + fffd},
      {"above U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    const auto file = dir.write("marked.sql", bom + "--$ q\n" + c.bytes);
    EXPECT_EQ(ReadStatementFileText(file), "--$ q\n" + c.text) << c.what;
  }
  // Without a mark such bytes still select Windows-1252.
  EXPECT_EQ(ReadStatementFileText(dir.write("plain.sql", "'caf\xE9'")), "'caf\xC3\xA9'");
}

}  // namespace
}  // namespace movrano
