#include "controls/MemoText.h"

#include <algorithm>

namespace {

enum class CharClass
{
    Space,
    Word,
    Other
};

CharClass ClassOf(QChar c)
{
    if (c.isSpace())
        return CharClass::Space;
    if (c.isLetterOrNumber() || c == u'_' || c.isMark())
        return CharClass::Word;
    return CharClass::Other;
}

} // namespace

// ---- Reading ----

qsizetype TMemoText::CharacterCount() const
{
    const int last = Count() - 1;
    ExtendOffsets(last);
    return m_lineStart[static_cast<size_t>(last)] + m_lines.back().size();
}

QString TMemoText::TextBetween(TMemoPos from, TMemoPos to) const
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    if (from.Line == to.Line)
        return Line(from.Line).mid(from.Column, to.Column - from.Column);
    QString text;
    text.reserve(OffsetOf(to) - OffsetOf(from));
    text += QStringView(Line(from.Line)).mid(from.Column);
    for (int line = from.Line + 1; line < to.Line; ++line) {
        text += u'\n';
        text += Line(line);
    }
    text += u'\n';
    text += QStringView(Line(to.Line)).left(to.Column);
    return text;
}

void TMemoText::ExtendOffsets(int line) const
{
    if (m_lineStart.empty())
        m_lineStart.push_back(0);
    while (static_cast<int>(m_lineStart.size()) <= line) {
        const size_t next = m_lineStart.size();
        m_lineStart.push_back(m_lineStart[next - 1] + m_lines[next - 1].size() + 1);
    }
}

qsizetype TMemoText::OffsetOf(TMemoPos pos) const
{
    pos = Clamp(pos);
    ExtendOffsets(pos.Line);
    return m_lineStart[static_cast<size_t>(pos.Line)] + pos.Column;
}

TMemoPos TMemoText::PosAt(qsizetype offset) const
{
    if (offset <= 0)
        return {};
    if (offset >= CharacterCount())
        return EndPos();
    // CharacterCount() made every line's offset known.
    const auto begin = m_lineStart.begin();
    const auto end = begin + static_cast<qsizetype>(m_lines.size());
    const int line = static_cast<int>(std::upper_bound(begin, end, offset) - begin) - 1;
    return {line, static_cast<int>(offset - m_lineStart[static_cast<size_t>(line)])};
}

TMemoPos TMemoText::Clamp(TMemoPos pos) const
{
    pos.Line = std::clamp(pos.Line, 0, Count() - 1);
    pos.Column = std::clamp(pos.Column, 0, static_cast<int>(Line(pos.Line).size()));
    return pos;
}

TMemoPos TMemoText::EndPos() const
{
    return {Count() - 1, static_cast<int>(m_lines.back().size())};
}

// ---- Changing ----

bool TMemoText::Append(const QStringList& lines)
{
    if (lines.isEmpty())
        return false;
    // A text without lines is held as one empty line, which the first new line takes over.
    const bool wasEmpty = m_noLines;
    m_noLines = false;
    bool takeFirst = wasEmpty;
    auto add = [&](const QString& text) {
        if (takeFirst) {
            m_lines[0] = text;
            takeFirst = false;
        } else {
            m_lines.push_back(text);
        }
        NoteLongest(Count() - 1);
    };
    for (const QString& line : lines) {
        if (line.contains(u'\n')) {
            for (const QString& piece : line.split(u'\n'))
                add(piece);
        } else {
            // Shares the caller's string: no copy of the characters.
            add(line);
        }
    }
    if (wasEmpty)
        LinesChanged(0);
    return wasEmpty;
}

void TMemoText::SetText(const QString& text)
{
    m_lines.clear();
    for (const QString& line : text.split(u'\n'))
        m_lines.push_back(line);
    m_noLines = text.isEmpty();
    m_longestLine = 0;
    LinesChanged(0);
}

TMemoPos TMemoText::Replace(TMemoPos from, TMemoPos to, const QString& text)
{
    const QStringList pieces = text.split(u'\n');
    const QString tail = Line(to.Line).mid(to.Column);
    const int firstLine = from.Line;
    const auto at = m_lines.begin() + firstLine;
    m_lines[static_cast<size_t>(firstLine)].truncate(from.Column);
    m_lines[static_cast<size_t>(firstLine)] += pieces.front();
    m_lines.erase(at + 1, at + 1 + (to.Line - from.Line));
    m_lines.insert(m_lines.begin() + firstLine + 1, pieces.begin() + 1, pieces.end());
    const int lastLine = firstLine + static_cast<int>(pieces.size()) - 1;
    const int column = static_cast<int>(Line(lastLine).size());
    m_lines[static_cast<size_t>(lastLine)] += tail;
    LinesChanged(firstLine);
    m_noLines = m_lines.size() == 1 && m_lines[0].isEmpty();
    for (int line = firstLine; line <= lastLine; ++line)
        NoteLongest(line);
    return {lastLine, column};
}

void TMemoText::LinesChanged(int fromLine)
{
    const auto from = static_cast<size_t>(fromLine);
    if (m_lineStart.size() > from + 1)
        m_lineStart.resize(from + 1);
    if (m_longestLine >= fromLine || m_longestLine >= Count()) {
        // The record may have shrunk or gone: look again (edits only, never appends).
        m_longestLine = 0;
        for (int line = 1; line < Count(); ++line)
            NoteLongest(line);
        ++m_longestRevision;
    }
}

void TMemoText::NoteLongest(int line)
{
    if (Line(line).size() > Line(m_longestLine).size() || line == m_longestLine) {
        m_longestLine = line;
        ++m_longestRevision;
    }
}

// ---- Characters and words ----

TMemoPos TMemoText::NextChar(TMemoPos pos) const
{
    const QString& text = Line(pos.Line);
    if (pos.Column < text.size()) {
        ++pos.Column;
        // Never between the halves of a surrogate pair.
        if (pos.Column < text.size() && text.at(pos.Column).isLowSurrogate() &&
            text.at(pos.Column - 1).isHighSurrogate())
            ++pos.Column;
        return pos;
    }
    if (pos.Line + 1 < Count())
        return {pos.Line + 1, 0};
    return pos;
}

TMemoPos TMemoText::PrevChar(TMemoPos pos) const
{
    const QString& text = Line(pos.Line);
    if (pos.Column > 0) {
        --pos.Column;
        if (pos.Column > 0 && text.at(pos.Column).isLowSurrogate() &&
            text.at(pos.Column - 1).isHighSurrogate())
            --pos.Column;
        return pos;
    }
    if (pos.Line > 0)
        return {pos.Line - 1, static_cast<int>(Line(pos.Line - 1).size())};
    return pos;
}

TMemoPos TMemoText::NextWord(TMemoPos pos) const
{
    const QString& text = Line(pos.Line);
    if (pos.Column >= text.size())
        return NextChar(pos);
    int column = pos.Column;
    const CharClass start = ClassOf(text.at(column));
    if (start != CharClass::Space) {
        while (column < text.size() && ClassOf(text.at(column)) == start)
            ++column;
    }
    while (column < text.size() && ClassOf(text.at(column)) == CharClass::Space)
        ++column;
    return {pos.Line, column};
}

TMemoPos TMemoText::PrevWord(TMemoPos pos) const
{
    if (pos.Column == 0)
        return PrevChar(pos);
    const QString& text = Line(pos.Line);
    int column = pos.Column;
    while (column > 0 && ClassOf(text.at(column - 1)) == CharClass::Space)
        --column;
    if (column > 0) {
        const CharClass word = ClassOf(text.at(column - 1));
        while (column > 0 && ClassOf(text.at(column - 1)) == word)
            --column;
    }
    return {pos.Line, column};
}

std::pair<TMemoPos, TMemoPos> TMemoText::WordAt(TMemoPos pos) const
{
    pos = Clamp(pos);
    const QString& text = Line(pos.Line);
    if (text.isEmpty())
        return {pos, pos};
    const int at = std::min(pos.Column, static_cast<int>(text.size()) - 1);
    const CharClass word = ClassOf(text.at(at));
    int start = at;
    int end = at + 1;
    while (start > 0 && ClassOf(text.at(start - 1)) == word)
        --start;
    while (end < text.size() && ClassOf(text.at(end)) == word)
        ++end;
    return {{pos.Line, start}, {pos.Line, end}};
}
