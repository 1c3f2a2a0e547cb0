#pragma once
// Finds ":name" parameters in SQL text (outside string literals, quoted
// identifiers and comments) and rewrites them as "?" positions.
#include <string>
#include <string_view>
#include <vector>

namespace movrano::db {

struct ParsedSql {
  std::string positionalSql;
  std::vector<std::string> names;  // distinct (without case), in first-appearance order
  std::vector<int> positions;      // for each "?", the index into names
};

ParsedSql ParseNamedParams(std::string_view sql);

}  // namespace movrano::db
