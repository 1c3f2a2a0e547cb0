#pragma once
// "%name%" macros inside statement texts: detecting a reference and
// replacing named references by values.
#include <string>
#include <string_view>
#include <vector>

namespace movrano {

// True when two "%" enclose nothing but ASCII letters, digits and "_"
// (nothing at all included, so "%%" counts).
bool HasMacroses(std::string_view text);

// Replaces, for each index in order, every "%names[i]%" (without regard to
// case) by values[i], working on the text the earlier replacements left.
// Raises Exception when the two arrays differ in length.
std::string ReplaceMacros(std::string text, const std::vector<std::string>& names,
                          const std::vector<std::string>& values);

}  // namespace movrano
