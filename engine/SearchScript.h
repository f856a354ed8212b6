#pragma once

#include "engine/SearchIndex.h"

#include <array>
#include <string>

// Writes a search index as the script the search page loads: one call of
// quirefoldSearchIndex({...}) in UTF-8 with the sections' links, headings and excerpts, and
// for each word the sections it occurs in, in its body text and in its headings.
class SearchScript
{
public:
    // The index must outlive the writer and be complete: its last page ended.
    explicit SearchScript(const SearchIndex& index) : m_index(index) {}

    std::string Text() const;
    // The same in pieces, for a file written in one gathered write without joining them first:
    // the index of a long document is tens of MiB.
    std::array<std::string, 4> Parts() const;

private:
    // The sections' list, and the words' lists after it.
    std::string SectionsJson() const;
    std::string WordsJson() const;

    const SearchIndex& m_index;
};
