#pragma once
// New GUIDs in the registry form the vault databases store.
#include <string>

namespace movrano {

// A new random GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38
// characters, upper-case hexadecimal digits.
std::string NewGUIDString();

}  // namespace movrano
