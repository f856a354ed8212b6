#pragma once

#include "controls/MemoLayout.h"
#include "controls/MemoText.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QRectF>
#include <QtGlobal>
#include <optional>

class QAbstractScrollArea;
class QTimer;

// Which lines of the status pane are in view, its scroll bars (the vertical one counts lines),
// and where places of the text are in its viewport. A line to show is only noted and the view
// catches up with the next frame, at most one a frame interval, so lines that pour in move the
// target rather than the view; meanwhile the queries answer for the view as it will be drawn.
class TMemoView
{
public:
    TMemoView(const TMemoText& text, TMemoLayout& layout, QAbstractScrollArea& area, int margin,
              qint64 frameInterval);
    TMemoView(const TMemoView&) = delete;
    TMemoView& operator=(const TMemoView&) = delete;

    // Our own changes of the scroll bars, which are no scrolling by the user.
    class Guard
    {
    public:
        explicit Guard(TMemoView& view) : m_view(view), m_was(view.m_adjusting)
        {
            m_view.m_adjusting = true;
        }
        ~Guard() { m_view.m_adjusting = m_was; }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        TMemoView& m_view;
        bool m_was;
    };

    // The line at the top of the view.
    int FirstVisibleLine() const;
    // The last line wholly in view; -1 when none is.
    int LastFullyVisibleLine() const;
    bool IsLineFullyVisible(int line) const;
    // Whether the last line is in view, or is to be at the next frame.
    bool ShowingEnd() const;
    qreal ViewHeight() const;
    // Rows of the view: a page for the keyboard and the scroll bar.
    int PageRows() const;

    // Scrolls as little as needed to show a whole line, at the next frame.
    void EnsureLineVisible(int line);
    // Scrolls sideways so that a place of a line is in view (without wrap only).
    void EnsureColumnVisible(TMemoPos pos);
    bool ScrollPending() const { return m_pendingLine >= 0; }
    void DropPendingScroll() { m_pendingLine = -1; }
    // The scroll ranges go out of date; they are set again with the next frame.
    void ScrollBarsStale() { m_scrollBarsStale = true; }
    void UpdateScrollBars();
    // Brings the view where it is heading now rather than with the next frame.
    void ApplyPendingScroll();
    // Redraws now or, when a frame was drawn lately, once the frame interval is over.
    void ScheduleFrame();
    // A frame is being drawn: the scroll bars follow right after it, never from inside it.
    void Painting();
    // The view was scrolled by dy lines; false when it was our own doing.
    bool Scrolled(int dy);

    // Where a character is drawn, in viewport coordinates; empty when off screen.
    QRectF CharacterRect(TMemoPos pos) const;
    // The place nearest to a point of the viewport.
    TMemoPos PosAtPoint(QPointF point) const;

private:
    void OnFrame();
    // Top of a visible line in viewport coordinates; none when it is not on screen.
    std::optional<qreal> LineTop(int line) const;

    const TMemoText& m_text;
    TMemoLayout& m_layout;
    QAbstractScrollArea& m_area;
    const int m_margin;
    const qint64 m_frameInterval;
    // A line to bring into view at the next frame, and the top line the view had before.
    int m_pendingLine = -1;
    int m_pendingFromTop = 0;
    bool m_scrollBarsStale = false;
    bool m_adjusting = false;
    QTimer* m_frameTimer = nullptr;
    QElapsedTimer m_sinceFrame;
};
