#pragma once

#include "engine/SplitSettings.h"

// Overwrites settings from the store by the options load rules (link texts only when stored
// non-empty, "BreakOn" 0 stored back, empty image paths replaced by the program-folder
// defaults, ...), as settings/SettingsTable.h lists them. Leaves settings untouched when the
// store is not valid.
void LoadSettings(SplitSettings& settings);
// Stores all eighteen options in the table's order, as the options dialog's OK does.
void SaveSettings(const SplitSettings& settings);
// The settings a program starts with: the store-unavailable values, then LoadSettings.
SplitSettings InitialSettings();
