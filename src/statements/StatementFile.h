#pragma once
// The statement-file format: which files of a folder are statement files,
// how a file's text splits into lines, and how lines become named
// statements. Pure functions; the catalogue (uSQLManager.h) keeps the result.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movrano {

// One named statement as a file defines it: its lines exactly as read.
struct StatementDef {
  std::string name;
  std::vector<std::string> lines;
  friend bool operator==(const StatementDef&, const StatementDef&) = default;
};

// Lines split at CR LF, lone LF and lone CR; a break at the very end makes
// no further empty line, so an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// The lines joined with CR LF after every line, the last one included.
std::string JoinLines(const std::vector<std::string>& lines);

// A marked file's text holds "--$" or "--@" anywhere, mid-line included.
bool HasStatementHeaders(std::string_view text);

// A header line begins, once trimmed of codes 0 to 32, with a marker.
bool IsStatementHeader(std::string_view line);

// The header's name: the trimmed line after its marker, trimmed again.
std::string ExtractStatementName(std::string_view headerLine);

// The statements of a decoded file text, in file order, duplicates kept.
// A marked file yields one per header line (lines before the first header
// are dropped); an unmarked file is one statement named fileName.
std::vector<StatementDef> ParseStatements(std::string_view text, std::string_view fileName);

// The whole file decoded by its byte-order mark (UTF-8 or Windows-1252
// without one); nullopt when no regular file is at the path (a FIFO is
// never waited on). Raises EFileError when the file cannot be read.
std::optional<std::string> ReadStatementFileText(const std::filesystem::path& file);

// The "*.sql" entries of a folder (extension without regard to case,
// hidden files too), sorted by name so that "first loaded wins" is stable.
// Folders named "*.sql" are listed too; loading skips them. A missing or
// unreadable folder lists nothing.
std::vector<std::filesystem::path> ListStatementFiles(const std::filesystem::path& folder);

}  // namespace movrano
