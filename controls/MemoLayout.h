#pragma once

#include "controls/MemoText.h"

#include <QtGlobal>
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

class QAbstractScrollArea;
class QTextLayout;

// The rows of the status pane's lines, in the pane's font at its wrap width. A line is laid out
// only when asked for; its rows are then kept, and its layout while it is likely to be drawn
// again. Until then its rows are estimated from its length. The height questions take the room
// of the view, so the pane can ask them for the view it is heading for.
class TMemoLayout
{
public:
    // The view gives the font, and its viewport less a margin on each side the wrap width.
    TMemoLayout(const TMemoText& text, const QAbstractScrollArea& view, int margin);
    ~TMemoLayout();
    TMemoLayout(const TMemoLayout&) = delete;
    TMemoLayout& operator=(const TMemoLayout&) = delete;

    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wrap);
    // What was measured in the old font goes.
    void FontChanged();
    // The lines from fromLine on changed or went.
    void LinesChanged(int fromLine);
    // More than a few screens' worth of layouts is dropped at once.
    void Trim();

    qreal RowHeight();
    const QTextLayout& Layout(int line);
    // Rows a line takes at the current width.
    int RowsOf(int line);
    // The rows a line took when last laid out at this width; a guess from its length otherwise.
    int EstimatedRows(int line);
    // The widest line measured or drawn, for the horizontal scroll range without wrap.
    qreal WidestLine();
    qreal WidestSeen() const { return m_widestSeen; }
    void SeeWidth(qreal width) { m_widestSeen = std::max(m_widestSeen, width); }

    // Whether line is wholly in room with top at the top.
    bool FitsBelow(int top, int line, qreal room, bool exact);
    // The top line that shows line, scrolling as little as possible from fromTop.
    int TopShowing(int line, int fromTop, qreal room, bool exact);
    // The highest top line that leaves no room below the last line.
    int MaxTopLine(qreal room, bool exact);
    // The last line wholly in room below top; -1 when none is.
    int LastFitting(int top, qreal room);
    // The place rows rows down (up when negative) nearest to goalX, which is taken from pos
    // when negative.
    TMemoPos RowStep(TMemoPos pos, int rows, qreal& goalX);

private:
    qreal WrapWidth() const;
    void CheckWidth();
    void Forget();
    // The rows of a line as last laid out at this width (1 without wrap), 0 when not known.
    int KnownRows(int line);

    const TMemoText& m_text;
    const QAbstractScrollArea& m_view;
    const int m_margin;
    bool m_wordWrap = true;
    // Rows of each line at m_rowWidth; 0: not measured. Entries past the end are unknown.
    std::vector<int> m_rows;
    qreal m_rowWidth = -1;
    std::unordered_map<int, std::unique_ptr<QTextLayout>> m_layouts;
    // The width of the longest line once measured, for the text's revision of it.
    qreal m_longestWidth = -1;
    unsigned m_longestRevision = 0;
    qreal m_widestSeen = 0;
    qreal m_rowHeight = -1;
    qreal m_averageCharWidth = 1;
};
