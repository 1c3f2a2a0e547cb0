#include <gtest/gtest.h>

#include "db/NamedParams.h"

namespace movrano::db {
namespace {

struct Case {
  const char* sql;
  const char* positional;
  std::vector<std::string> names;
  std::vector<int> positions;
};

TEST(NamedParams, FindsNamesOutsideLiteralsIdentifiersAndComments) {
  const Case cases[] = {
      {"select 1 from t", "select 1 from t", {}, {}},
      {"insert into t (a, b) values (:A, :b_2)",
       "insert into t (a, b) values (?, ?)",
       {"A", "b_2"},
       {0, 1}},
      // a name written twice (in any case) is one parameter bound twice
      {"update t set x = :Guid where y = :GUID or z = :guid",
       "update t set x = ? where y = ? or z = ?",
       {"Guid"},
       {0, 0, 0}},
      {"select ':notparam', 'it''s :no' from t where a = :yes",
       "select ':notparam', 'it''s :no' from t where a = ?",
       {"yes"},
       {0}},
      {"select \"odd:name\" from t where a = :p",
       "select \"odd:name\" from t where a = ?",
       {"p"},
       {0}},
      {"select a -- :comment\nfrom t where b = :b /* :block */",
       "select a -- :comment\nfrom t where b = ? /* :block */",
       {"b"},
       {0}},
      {"select a::int, :x$1 from t", "select a::int, ? from t", {"x$1"}, {0}},
      {"select ': 1', a from t where b = :", "select ': 1', a from t where b = :", {}, {}},
      {"select 'unterminated :x", "select 'unterminated :x", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const ParsedSql parsed = ParseNamedParams(c.sql);
    EXPECT_EQ(parsed.positionalSql, c.positional);
    EXPECT_EQ(parsed.names, c.names);
    EXPECT_EQ(parsed.positions, c.positions);
  }
}

}  // namespace
}  // namespace movrano::db
