#pragma once

#include "engine/SplitSettings.h"

#include <span>
#include <string>

// How a value is stored, and what loading makes of what the store holds. Nothing stored reads
// as 0 or as the empty text.
enum class StoredKind
{
    Flag,     // 0 or 1; any other number counts as 1
    Level,    // "BreakOn": clamped to 0..3; 0 (nothing stored) stores the level in force
    LinkText, // an empty text keeps the one in force
    Image,    // an empty path gives the image of that name beside the program
    Text,     // taken as stored, empty included
};

// One stored value: its name in the store, the quirefold-split option that sets it (without
// "--"; a flag also takes "no-" in front), and the member it holds. Exactly one of Flag, Level
// and Text is set, as Kind says.
struct StoredSetting
{
    const char* Name;
    const char* Option;
    StoredKind Kind;
    bool SplitSettings::*Flag = nullptr;
    int SplitSettings::*Level = nullptr;
    std::string SplitSettings::*Text = nullptr;
    const char* DefaultImage = nullptr; // Image: the file name beside the program
};

// Every stored value, in the order they are stored.
std::span<const StoredSetting> StoredSettings();
