#include "app/LogText.h"

#include <array>

#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace movrano {

namespace {

std::string WithLineEnds(std::string_view text, std::string_view lineEnd) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += lineEnd;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::tm CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string FormatLongTime(const std::tm& time) {
  std::array<char, 64> buffer{};
  const size_t n = std::strftime(buffer.data(), buffer.size(), "%X", &time);
  return std::string(buffer.data(), n);
}

std::string LogLine(const std::tm& time, std::string_view text) {
  return FormatLongTime(time) + ": " + WithLineEnds(text, "\n");
}

std::string ClipboardText(std::string_view paneText) {
  return WithLineEnds(paneText, "\r\n");
}

void SaveLogFile(const std::filesystem::path& file, std::string_view paneText) {
  std::string bytes = WithLineEnds(paneText, "\r\n");
  if (!paneText.empty()) bytes += "\r\n";
  try {
    ReplaceFileContents(file, bytes);
  } catch (const EOSError& e) {
    throw EOSError(e.errorCode(),
                   Format("Cannot save the log to %s: %s", file.string(), std::string(e.what())));
  }
}

}  // namespace movrano
