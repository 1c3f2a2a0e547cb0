#pragma once
// Command lines in the form the external vault programs are given them: one
// text that the platform of those programs splits into the program and its
// arguments.
#include <string>
#include <string_view>
#include <vector>

namespace movrano {

// Splits a command line by the Windows rules. The program (first item)
// ends at the first blank or tab outside double quotes, and its quotes are
// dropped. In each argument blanks and tabs inside double quotes are kept;
// 2n backslashes before a quote give n backslashes and the quote opens or
// closes quoting; 2n+1 backslashes before a quote give n backslashes and a
// literal quote; "" inside quotes gives a literal quote; other backslashes
// are literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The text inside double quotes so that the split above gives it back as
// one item: backslashes before the closing quote are doubled. A text that
// holds a double quote itself cannot be carried; CanQuote answers false.
bool CanQuote(std::string_view text);
std::string QuoteCommandLineItem(std::string_view text);
// The same for a text placed between quotes the caller writes itself.
std::string EscapeQuotedText(std::string_view text);

}  // namespace movrano
