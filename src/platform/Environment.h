#pragma once
// "%Name%" references in configured texts, expanded from the process
// environment.
#include <optional>
#include <string>
#include <string_view>

namespace movrano {

// The value of an environment variable; the exact name first, then the
// first one whose name differs only in case (the names of the vault
// products' platform ignore case).
std::optional<std::string> EnvironmentVariable(std::string_view name);

// Replaces each "%Name%" of a defined variable by its value; a reference
// to an undefined variable, and a lone "%", stay as written.
std::string ExpandEnvironmentStrings(std::string_view text);

}  // namespace movrano
