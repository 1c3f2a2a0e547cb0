#pragma once
// The settings file "Movrano.ini" beside the executable, section
// "Settings": the account, the Oracle fields, the mode's radio item and the
// folders, with both passwords in their protected form (uCrypt.h). Read
// into the form model at start-up, written from it at close.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/FormModel.h"

namespace movrano {

inline constexpr std::string_view SettingsCryptKey = "{5B2E8C41-09AF-4D37-B6C2-E1F47A93D058}";
inline constexpr std::string_view kSettingsSection = "Settings";
// A settings file is a few KB; the largest the window can write (every
// field at the edit's 32767 characters) is under 1.2 MiB. One larger than
// this is not read at all.
inline constexpr size_t kSettingsFileLimit = size_t{2} << 20;

std::filesystem::path GetSettingsFileName(const std::filesystem::path& programFolder);

// Reads every stored value into the model, in the fixed order; a missing
// key keeps the field's current text (the passwords and the user name have
// their own defaults). Selecting a stored radio item or source folder runs
// the model's rules, and a failing rule ends the reading there (raised).
// A legacy plain-text "IDSPassword" is taken and deleted from the file.
// A file larger than kSettingsFileLimit reads as empty and stays as it is;
// the answer is then the message that tells the user so, else nothing.
std::optional<std::string> ReadSettings(const std::filesystem::path& file, FormModel& model);

// Writes every value at once, whatever the mode: either the whole new
// contents reach the file or it stays as it was. A file larger than
// kSettingsFileLimit is replaced without its other lines. Raises EIniFileException
// "Unable to write to <file>" when the file cannot be written.
void WriteSettings(const std::filesystem::path& file, const FormModel& model);

}  // namespace movrano
