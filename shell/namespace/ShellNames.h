#pragma once

// Names as the file manager treats them: wildcard patterns, the order it lists names in, and
// small text helpers.

#include <string>
#include <string_view>

// Adds ch to text unless it already ends with it; an empty text stays empty.
std::string EnsureTrailingChar(const std::string& text, char ch);

// Case-insensitive wildcard match ('*' and '?') of a file name against one pattern.
bool WildcardMatch(std::string_view pattern, std::string_view name);
// The order in which the file manager lists names: case-insensitive, numbers by value.
int CompareNamesNatural(std::string_view a, std::string_view b);

// The sort key of a name: case folded, accents dropped; ASCII stays one byte per character.
// Keys compare with CompareFoldedNatural as the names do with CompareNamesNatural.
std::string FoldForCompare(std::string_view name);
int CompareFoldedNatural(std::string_view a, std::string_view b);
