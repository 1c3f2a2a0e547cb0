#pragma once
// The protected form of the passwords kept in the settings file: Blowfish
// keyed by the SHA-1 digest of a key text, 8-bit cipher feedback over the
// text's UTF-16LE bytes, stored as Base64. Deterministic (fixed key, fixed
// initialisation vector), so the same text always gives the same form.
#include <string>
#include <string_view>

namespace movrano {

// The Base64 text of the encrypted text; the empty text gives "".
std::string EncryptText(std::string_view text, std::string_view key);

// The plain text of a stored form. Never fails: a value that is too short
// gives "", one that is no stored form under this key gives unreadable
// text.
std::string DecryptText(std::string_view text, std::string_view key);

}  // namespace movrano
