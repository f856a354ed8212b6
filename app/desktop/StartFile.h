#pragma once

#include <functional>
#include <optional>
#include <string>

// The long name of the last component of a path as the file system spells it, or nothing
// when there is no such entry. On Windows a directory search (FindFirstFileA).
using LongNameLookup = std::function<std::optional<std::string>(const std::string& path)>;

// Turns each backslash-separated component of text into its long name:
// "C:\PROGRA~1\DOCS\MANUAL~1.HTM" becomes "C:\Program Files\Docs\Manual Page.htm".
// No backslash gives nothing. Everything before the first backslash is kept as given. A
// component that cannot be found, or one the walk cannot reach (a backslash more than 255
// characters into the text), leaves the rest of the text as given, so that the result still
// names what the user typed and never a truncated path.
std::optional<std::string> ExpandLongPath(const std::string& text, const LongNameLookup& lookup);

// The document path kept for the first show, from the command-line argument; empty when
// there is none. On Windows the long form of the path (the given text when that would be
// longer than a path may be); elsewhere the path made absolute against the working
// directory, symbolic links kept as given.
std::string StartFileFromArgument(const std::string& argument);
