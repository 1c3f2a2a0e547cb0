#include "statements/StatementFile.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <system_error>

#include "platform/Exceptions.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

namespace movrano {
namespace {

constexpr std::string_view kMarkers[] = {"--$", "--@"};
constexpr size_t kMarkerLength = 3;

bool IsStatementFileName(const std::string& name) {
  constexpr std::string_view kExt = ".sql";
  return name.size() >= kExt.size() &&
         SameText(std::string_view(name).substr(name.size() - kExt.size()), kExt);
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool HasStatementHeaders(std::string_view text) {
  return std::any_of(std::begin(kMarkers), std::end(kMarkers),
                     [&](std::string_view m) { return text.find(m) != std::string_view::npos; });
}

bool IsStatementHeader(std::string_view line) {
  const std::string trimmed = Trim(line);
  return std::any_of(std::begin(kMarkers), std::end(kMarkers),
                     [&](std::string_view m) { return trimmed.starts_with(m); });
}

std::string ExtractStatementName(std::string_view headerLine) {
  const std::string trimmed = Trim(headerLine);
  return Trim(std::string_view(trimmed).substr(std::min(kMarkerLength, trimmed.size())));
}

std::vector<StatementDef> ParseStatements(std::string_view text, std::string_view fileName) {
  std::vector<std::string> lines = SplitLines(text);
  if (!HasStatementHeaders(text)) return {StatementDef{std::string(fileName), std::move(lines)}};

  std::vector<StatementDef> statements;
  for (auto& line : lines) {
    if (IsStatementHeader(line)) {
      statements.push_back(StatementDef{ExtractStatementName(line), {}});
    } else if (!statements.empty()) {
      statements.back().lines.push_back(std::move(line));
    }
  }
  return statements;
}

std::optional<std::string> ReadStatementFileText(const std::filesystem::path& file) {
  try {
    const auto bytes = ReadRegularFile(file);
    return bytes ? std::optional<std::string>(DecodeTextFileBytes(*bytes)) : std::nullopt;
  } catch (const EOSError& e) {
    throw EFileError(
        Format("Cannot read file \"%s\". %s", file.string(), std::strerror(e.errorCode())));
  }
}

std::vector<std::filesystem::path> ListStatementFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (IsStatementFileName(it->path().filename().string())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
  return files;
}

}  // namespace movrano
