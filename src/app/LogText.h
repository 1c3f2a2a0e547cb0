#pragma once
// The log pane's text: each line of a run with the time of day in front,
// and the pane's text as the clipboard and a saved log file receive it.
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace movrano {

std::tm CurrentLocalTime();

// The time of day in the locale's long time format (no date, no zone).
std::string FormatLongTime(const std::tm& time);

// "%s: %s" with the time and the text as the pane shows it (ShownLogText);
// the text's line breaks become "\n", so only its first line carries the
// time.
std::string LogLine(const std::tm& time, std::string_view text);

// The pane lays out a line in time that grows faster than its length, and
// a service's fault text comes as long as it came: the pane shows at most
// this many characters of a line, and of one logged text.
inline constexpr size_t kLongestShownLine = 10'000;
inline constexpr size_t kLongestShownText = 200'000;

// The text (lines separated by "\n") as the pane shows it: a line longer
// than kLongestShownLine keeps its start and ends with
// "... [N characters left out]", and what lies beyond kLongestShownText
// characters of the whole is left out the same way at the end. Characters
// are UTF-8 code points; none is cut in two.
std::string ShownLogText(std::string_view text);

// The pane's text (lines separated by "\n") with its lines separated by
// CR LF, as the clipboard gets it.
std::string ClipboardText(std::string_view paneText);

// Writes the pane's lines to the file, each followed by CR LF, in UTF-8
// without a byte-order mark, replacing an existing file whole. Raises
// EOSError naming the file when it cannot be written; an existing file
// then stays as it was.
void SaveLogFile(const std::filesystem::path& file, std::string_view paneText);

}  // namespace movrano
