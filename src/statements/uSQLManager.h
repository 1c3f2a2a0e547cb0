#pragma once
// The statement catalogue: every named SQL statement of the deployment's
// statement files, loaded once at start-up and read-only afterwards. One
// instance per process, reached through SQLManager().
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "statements/StatementFile.h"

namespace movrano {

class TSQLManager {
 public:
  int StatementCount() const { return static_cast<int>(FStatementList.size()); }

  // Loads every "*.sql" file of the folder, in name order.
  void LoadFromPath(const std::string& APath);
  // Loads one statement file; a name that is no existing file is skipped.
  // Raises EFileError when the file cannot be read; statements loaded
  // before stay.
  void LoadFromFile(const std::string& AFileName);

  // The statement's text, every line followed by CR LF; ALabelName itself
  // when no statement has that name (compared without regard to case).
  std::string FindSQL(std::string_view ALabelName) const;
  // FindSQL(AName) with the "%name%" macros replaced (see StatementMacros.h).
  std::string FindMacros(std::string_view AName, const std::vector<std::string>& ANames,
                         const std::vector<std::string>& AValues) const;

 private:
  // Names compared without regard to case.
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using Lines = std::vector<std::string>;

  // Adds the statement unless its name is already present: the first wins.
  void Add(StatementDef AStatement);
  const Lines* Find(std::string_view AName) const;

  // Sorted by name; a tree, so that loading stays linear in the statements.
  std::map<std::string, Lines, NameLess> FStatementList;
};

// The process-wide catalogue. Raises Exception when none exists.
TSQLManager& SQLManager();
// Start-up and exit: create the one empty catalogue (kept when one exists),
// and release it so that SQLManager() fails from then on.
void CreateSQLManager();
void FreeSQLManager();

// Holds the process-wide catalogue for a scope (main(), a test).
class SQLManagerScope {
 public:
  SQLManagerScope() { CreateSQLManager(); }
  ~SQLManagerScope() { FreeSQLManager(); }
  SQLManagerScope(const SQLManagerScope&) = delete;
  SQLManagerScope& operator=(const SQLManagerScope&) = delete;
};

}  // namespace movrano
