#pragma once

// A list's file filter ("*.htm;*.html"). Each pattern is matched against a name's bytes, which
// gives what a search of the folder with each pattern would, without reading the folder once
// per pattern.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

class TNameFilter
{
public:
    // Patterns separated by ";", each kept exactly as written, blanks included.
    void SetText(const QString& text);
    // Leaves names out: there are patterns, and they are not "*" or "*.*".
    bool Narrows() const { return !m_patterns.empty() && !m_all; }
    bool Matches(std::string_view name) const;

private:
    std::vector<std::string> m_patterns;
    bool m_all = false;
};
