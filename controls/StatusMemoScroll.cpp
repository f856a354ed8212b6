// Which lines are in view, the scroll bars, and the once-a-frame catch-up after appends.
#include "controls/StatusMemo.h"

#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

int TStatusMemo::FirstVisibleLine() const
{
    if (m_pendingLine >= 0)
        return TopShowing(m_pendingLine, m_pendingFromTop, true);
    return std::clamp(verticalScrollBar()->value(), 0, static_cast<int>(m_lines.size()) - 1);
}

qreal TStatusMemo::ViewHeight() const
{
    return std::max(0, viewport()->height() - 2 * kMargin);
}

qreal TStatusMemo::WrapWidth() const
{
    return std::max(1, viewport()->width() - 2 * kMargin);
}

bool TStatusMemo::IsLineFullyVisible(int line) const
{
    return FitsBelow(FirstVisibleLine(), line, true);
}

bool TStatusMemo::FitsBelow(int top, int line, bool exact) const
{
    if (line < top || line >= static_cast<int>(m_lines.size()))
        return false;
    const qreal room = ViewHeight();
    const qreal rowHeight = RowHeight();
    qreal bottom = 0;
    // Stops at the first line past the view, so this never walks further than a screen.
    for (int l = top; l <= line; ++l) {
        bottom += (exact ? RowsOf(l) : EstimatedRows(l)) * rowHeight;
        if (bottom > room)
            return false;
    }
    return true;
}

int TStatusMemo::LastFullyVisibleLine() const
{
    const qreal room = ViewHeight();
    const qreal rowHeight = RowHeight();
    qreal bottom = 0;
    int last = -1;
    for (int l = FirstVisibleLine(); l < static_cast<int>(m_lines.size()); ++l) {
        bottom += RowsOf(l) * rowHeight;
        if (bottom > room)
            break;
        last = l;
    }
    return last;
}

bool TStatusMemo::ShowingEnd() const
{
    const int last = static_cast<int>(m_lines.size()) - 1;
    if (m_pendingLine == last)
        return true;
    return FirstVisibleLine() >= last || IsLineFullyVisible(last);
}

int TStatusMemo::TopShowing(int line, int fromTop, bool exact) const
{
    fromTop = std::clamp(fromTop, 0, static_cast<int>(m_lines.size()) - 1);
    if (line <= fromTop)
        return line;
    if (FitsBelow(fromTop, line, exact))
        return fromTop;
    // The line goes to the bottom of the view, with as many lines above it as fit.
    const qreal room = ViewHeight();
    const qreal rowHeight = RowHeight();
    auto rows = [&](int l) { return exact ? RowsOf(l) : EstimatedRows(l); };
    qreal used = rows(line) * rowHeight;
    int top = line;
    while (top > 0) {
        const qreal above = rows(top - 1) * rowHeight;
        if (used + above > room)
            break;
        used += above;
        --top;
    }
    return top;
}

int TStatusMemo::MaxTopLine(bool exact) const
{
    const int count = static_cast<int>(m_lines.size());
    const qreal room = ViewHeight();
    const qreal rowHeight = RowHeight();
    qreal used = 0;
    int top = count;
    while (top > 0) {
        const int rows = exact ? RowsOf(top - 1) : EstimatedRows(top - 1);
        if (used + rows * rowHeight > room)
            break;
        used += rows * rowHeight;
        --top;
    }
    // A last line taller than the view is shown from its top.
    return std::min(top, count - 1);
}

void TStatusMemo::UpdateScrollBars()
{
    const ScrollGuard guard(*this);
    m_scrollBarsStale = false;
    QScrollBar* vertical = verticalScrollBar();
    const int rowsPerPage = std::max(1, static_cast<int>(ViewHeight() / RowHeight()));
    vertical->setRange(0, MaxTopLine(false));
    vertical->setSingleStep(1);
    vertical->setPageStep(rowsPerPage);

    QScrollBar* horizontal = horizontalScrollBar();
    if (m_wordWrap) {
        horizontal->setRange(0, 0);
    } else {
        const int room = viewport()->width() - 2 * kMargin;
        const int widest = static_cast<int>(std::ceil(WidestLine())) + 1;
        horizontal->setRange(0, std::max(0, widest - room));
        horizontal->setPageStep(std::max(1, room));
        horizontal->setSingleStep(20);
    }
}

void TStatusMemo::EnsureCaretVisible()
{
    EnsureLineVisible(m_caret.Line);
    EnsureCaretXVisible();
}

void TStatusMemo::EnsureLineVisible(int line)
{
    // Worked out exactly when the view is next drawn: lines that arrive before then only
    // move the target, and only the lines then on screen are laid out.
    if (m_pendingLine < 0)
        m_pendingFromTop = verticalScrollBar()->value();
    m_pendingLine = std::clamp(line, 0, static_cast<int>(m_lines.size()) - 1);
    ScheduleFrame();
}

void TStatusMemo::ApplyPendingScroll()
{
    if (m_pendingLine < 0 && !m_scrollBarsStale)
        return;
    const ScrollGuard guard(*this);
    const int top = FirstVisibleLine();
    m_pendingLine = -1;
    UpdateScrollBars();
    QScrollBar* vertical = verticalScrollBar();
    if (top > vertical->maximum())
        vertical->setMaximum(top);
    vertical->setValue(top);
}

void TStatusMemo::ScheduleFrame()
{
    if (m_frameTimer->isActive() || !isVisible())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : kFrameInterval;
    if (since >= kFrameInterval)
        OnFrame();
    else
        m_frameTimer->start(static_cast<int>(kFrameInterval - since));
}

void TStatusMemo::OnFrame()
{
    ApplyPendingScroll();
    viewport()->update();
}

void TStatusMemo::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    ApplyPendingScroll();
}

void TStatusMemo::scrollContentsBy(int dx, int dy)
{
    (void)dx;
    if (m_adjustingScroll)
        return;
    // The user scrolled: a scroll still waiting for the next frame would undo it.
    if (dy != 0)
        m_pendingLine = -1;
    viewport()->update();
}

void TStatusMemo::setWordWrap(bool wrap)
{
    if (wrap == m_wordWrap)
        return;
    m_wordWrap = wrap;
    ForgetLayouts();
    {
        const ScrollGuard guard(*this);
        horizontalScrollBar()->setValue(0);
    }
    UpdateScrollBars();
    viewport()->update();
}
