#pragma once

// The library's user-visible texts, read through PTLoadStr so that they can be translated.

#include <QKeyCombination>
#include <QString>
#include <cstdint>
#include <string>

enum class TPTResString
{
    SFilesizeKB,
    SSystemFolder,
    SColumnName,
    SColumnSize,
    SColumnType,
    SColumnModified,
    SShKey_SelectAll,
    SShKey_Delete,
    SShKey_Copy,
    SShKey_Cut,
    SShKey_Paste,
    SShKey_Refresh,
    SShKey_Edit,
    SFolderDoesNotExist,
    SFileExistsReplace
};

QString PTLoadStr(TPTResString id);

// "%sKB" with the size in KiB rounded up and the locale's thousands separators.
std::string ShellSizeText(std::uint64_t bytes);
// The locale's short date, a blank, and its short time (hours and minutes).
std::string ShellModifiedText(std::int64_t secondsSinceEpoch);

// Reads "Shift+", "Ctrl+" and "Alt+" prefixes followed by a key name ("Del", "F2", "A", ...).
// An unknown key name gives an empty combination.
QKeyCombination ShortCutFromText(const QString& text);
