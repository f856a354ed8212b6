#pragma once

#include <cstddef>
#include <string_view>

// The rules by which the search index and the search script cut text into words. The script
// (SearchUi.js) has the same two functions; a test compares them code point by code point.
namespace searchtext {

// Letters and digits of any script, less punctuation and symbols.
bool IsWordCodePoint(char32_t cp);
// Case folded to one code point per pair, so "É" and "é" are one word.
char32_t FoldCodePoint(char32_t cp);

// How the document's bytes become characters.
enum class Encoding
{
    Utf8,   // a byte that is not part of valid UTF-8 counts as windows-1252
    Latin1, // windows-1252, which browsers also read for ISO-8859-1 and ASCII
    Other,  // anything else: only ASCII letters and digits make words
};

// From a byte-order mark at the start of the header, else from the charset its <meta> tags
// name; UTF-8 when it names none.
Encoding DetectEncoding(std::string_view header);

// The character reference at text[pos] (a '&'): its length and code point, or 0 when there is
// none. Named references: those of Latin-1 and a few common marks, each with its ';'.
std::size_t CharacterReferenceAt(std::string_view text, std::size_t pos, char32_t& cp);

} // namespace searchtext
