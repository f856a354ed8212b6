#pragma once

#include <QString>
#include <QStringList>
#include <compare>
#include <utility>
#include <vector>

// A place in the text: a line and a character of it (0 .. its length).
struct TMemoPos
{
    int Line = 0;
    int Column = 0;
    auto operator<=>(const TMemoPos&) const = default;
};

// The status pane's text, held as a list of lines so that appending tens of thousands of them
// costs little more than storing them. Offsets are characters of the plain text the lines stand
// for, joined by '\n'; the offset of each line's start is worked out only once it is asked for.
class TMemoText
{
public:
    // Lines held: never fewer than one, as a text without lines is held as one empty line.
    int Count() const { return static_cast<int>(m_lines.size()); }
    // Lines of the text; a cleared text has none, one holding an empty line has one.
    int LineCount() const { return m_noLines ? 0 : Count(); }
    const QString& Line(int index) const { return m_lines[static_cast<size_t>(index)]; }
    // Characters of the plain text, without building it.
    qsizetype CharacterCount() const;
    // The text between two places, lines joined by '\n'.
    QString TextBetween(TMemoPos from, TMemoPos to) const;
    qsizetype OffsetOf(TMemoPos pos) const;
    TMemoPos PosAt(qsizetype offset) const;
    // The nearest place that exists.
    TMemoPos Clamp(TMemoPos pos) const;
    TMemoPos EndPos() const;

    // Each element is one line at the end; an element holding '\n' is several. True when the
    // text had no lines before, so that every line from the first is new.
    bool Append(const QStringList& lines);
    void SetText(const QString& text);
    // Replaces the text between two clamped places, from <= to, with text whose breaks are '\n'.
    // Returns the place after the new text; the lines from from.Line on have changed.
    TMemoPos Replace(TMemoPos from, TMemoPos to, const QString& text);

    // One character or word on, or back, across line breaks; never between surrogate halves.
    TMemoPos NextChar(TMemoPos pos) const;
    TMemoPos PrevChar(TMemoPos pos) const;
    TMemoPos NextWord(TMemoPos pos) const;
    TMemoPos PrevWord(TMemoPos pos) const;
    // The run of word, space or other characters at a place; empty on an empty line.
    std::pair<TMemoPos, TMemoPos> WordAt(TMemoPos pos) const;

    // The longest line in characters.
    int LongestLine() const { return m_longestLine; }
    // Moves on whenever the longest line may have changed, so a width measured for it is old.
    unsigned LongestRevision() const { return m_longestRevision; }

private:
    void LinesChanged(int fromLine);
    void ExtendOffsets(int line) const;
    void NoteLongest(int line);

    // Never empty: a text without lines is one empty line with m_noLines set, so that an
    // appended empty line still counts.
    std::vector<QString> m_lines = std::vector<QString>(1);
    bool m_noLines = true;
    // Offset of each line's first character; valid for the first entries only, grown on demand.
    mutable std::vector<qsizetype> m_lineStart;
    int m_longestLine = 0;
    unsigned m_longestRevision = 0;
};
