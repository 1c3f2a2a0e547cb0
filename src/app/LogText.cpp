#include "app/LogText.h"

#include <algorithm>
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

void AppendLeftOut(std::string& out, size_t characters) {
  out += Format("... [%d characters left out]", characters);
}

}  // namespace

std::string ShownLogText(std::string_view text) {
  std::string out;
  size_t shown = 0;  // characters of the text shown so far, line breaks included
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    if (start > 0) {
      if (shown == kLongestShownText) {
        AppendLeftOut(out, Utf8CharacterCount(text.substr(start - 1)));
        break;
      }
      out += '\n';
      ++shown;
    }
    const size_t room = std::min(kLongestShownLine, kLongestShownText - shown);
    const size_t kept = Utf8PrefixBytes(line, room);
    out.append(line.substr(0, kept));
    shown += Utf8CharacterCount(line.substr(0, kept));
    if (kept < line.size()) {
      const size_t lineLeftOut = Utf8CharacterCount(line.substr(kept));
      if (shown < kLongestShownText) {
        AppendLeftOut(out, lineLeftOut);
      } else {
        // The whole text's bound ends this line and the rest.
        AppendLeftOut(out, lineLeftOut + Utf8CharacterCount(text.substr(end)));
        break;
      }
    }
    start = end + 1;
  }
  return out;
}

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
  return FormatLongTime(time) + ": " + ShownLogText(WithLineEnds(text, "\n"));
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
