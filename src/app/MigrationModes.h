#pragma once
// The window's words for each migration mode: how the radio items and the
// "Offline mode" box select a mode, the description shown for it and the
// question asked before it runs.
#include <array>
#include <optional>
#include <string>

#include "common/Utils.h"

namespace movrano {

// The radio group's items; the item index is the mode's value 0 to 4.
inline constexpr std::array<const char*, 5> kMigrationModeItems = {
    "Outpost vault -> Tavrin Vault", "Outpost vault -> Solo Vault", "Solo Vault -> Tavrin Vault",
    "Update supply chain in Tavrin Vault 1.1", "Tavrin Vault (Firebird) -> Tavrin Vault (Oracle)"};
inline constexpr int kLastModeItem = static_cast<int>(kMigrationModeItems.size()) - 1;

// No mode when no item is selected (index -1); the tick counts only at the
// Solo Vault item, where it selects the offline mode.
std::optional<TMigrationMode> ModeFromSelection(int itemIndex, bool offlineTicked);

// The radio item that stands for the mode (the offline mode is the Solo
// Vault item).
int ModeItemIndex(TMigrationMode mode);

const char* MigrationModeDescription(TMigrationMode mode);

// The question asked before a run; its lines are separated by CR LF.
std::string ConfirmationQuestion(TMigrationMode mode);

}  // namespace movrano
