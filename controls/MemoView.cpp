#include "controls/MemoView.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>

TMemoView::TMemoView(const TMemoText& text, TMemoLayout& layout, QAbstractScrollArea& area,
                     int margin, qint64 frameInterval)
    : m_text(text), m_layout(layout), m_area(area), m_margin(margin), m_frameInterval(frameInterval)
{
    m_frameTimer = new QTimer(&area);
    m_frameTimer->setSingleShot(true);
    QObject::connect(m_frameTimer, &QTimer::timeout, &area, [this] { OnFrame(); });
}

// ---- Which lines are in view ----

int TMemoView::FirstVisibleLine() const
{
    if (m_pendingLine >= 0)
        return m_layout.TopShowing(m_pendingLine, m_pendingFromTop, ViewHeight(), true);
    return std::clamp(m_area.verticalScrollBar()->value(), 0, m_text.Count() - 1);
}

int TMemoView::LastFullyVisibleLine() const
{
    return m_layout.LastFitting(FirstVisibleLine(), ViewHeight());
}

bool TMemoView::IsLineFullyVisible(int line) const
{
    return m_layout.FitsBelow(FirstVisibleLine(), line, ViewHeight(), true);
}

bool TMemoView::ShowingEnd() const
{
    const int last = m_text.Count() - 1;
    if (m_pendingLine == last)
        return true;
    return FirstVisibleLine() >= last || IsLineFullyVisible(last);
}

qreal TMemoView::ViewHeight() const
{
    return std::max(0, m_area.viewport()->height() - 2 * m_margin);
}

int TMemoView::PageRows() const
{
    return std::max(1, static_cast<int>(ViewHeight() / m_layout.RowHeight()));
}

// ---- Scrolling ----

void TMemoView::EnsureLineVisible(int line)
{
    // Worked out exactly when the view is next drawn: lines that arrive before then only
    // move the target, and only the lines then on screen are laid out.
    if (m_pendingLine < 0)
        m_pendingFromTop = m_area.verticalScrollBar()->value();
    m_pendingLine = std::clamp(line, 0, m_text.Count() - 1);
    ScheduleFrame();
}

void TMemoView::EnsureColumnVisible(TMemoPos pos)
{
    if (m_layout.WordWrap())
        return;
    const QTextLayout& layout = m_layout.Layout(pos.Line);
    const QTextLine row = layout.lineAt(0);
    const qreal x = row.isValid() ? row.cursorToX(pos.Column) : 0;
    QScrollBar* horizontal = m_area.horizontalScrollBar();
    const int room = std::max(1, m_area.viewport()->width() - 2 * m_margin);
    int value = horizontal->value();
    if (x < value)
        value = static_cast<int>(std::floor(x));
    else if (x > value + room - 1)
        value = static_cast<int>(std::ceil(x)) - room + 1;
    if (value > horizontal->maximum())
        horizontal->setMaximum(value);
    horizontal->setValue(value);
}

void TMemoView::UpdateScrollBars()
{
    const Guard guard(*this);
    m_scrollBarsStale = false;
    QScrollBar* vertical = m_area.verticalScrollBar();
    vertical->setRange(0, m_layout.MaxTopLine(ViewHeight(), false));
    vertical->setSingleStep(1);
    vertical->setPageStep(PageRows());

    QScrollBar* horizontal = m_area.horizontalScrollBar();
    if (m_layout.WordWrap()) {
        horizontal->setRange(0, 0);
    } else {
        const int room = m_area.viewport()->width() - 2 * m_margin;
        const int widest = static_cast<int>(std::ceil(m_layout.WidestLine())) + 1;
        horizontal->setRange(0, std::max(0, widest - room));
        horizontal->setPageStep(std::max(1, room));
        horizontal->setSingleStep(20);
    }
}

void TMemoView::ApplyPendingScroll()
{
    if (m_pendingLine < 0 && !m_scrollBarsStale)
        return;
    const Guard guard(*this);
    const int top = FirstVisibleLine();
    m_pendingLine = -1;
    UpdateScrollBars();
    QScrollBar* vertical = m_area.verticalScrollBar();
    if (top > vertical->maximum())
        vertical->setMaximum(top);
    vertical->setValue(top);
}

void TMemoView::ScheduleFrame()
{
    if (m_frameTimer->isActive() || !m_area.isVisible())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : m_frameInterval;
    if (since >= m_frameInterval)
        OnFrame();
    else
        m_frameTimer->start(static_cast<int>(m_frameInterval - since));
}

void TMemoView::OnFrame()
{
    ApplyPendingScroll();
    m_area.viewport()->update();
}

void TMemoView::Painting()
{
    m_sinceFrame.start();
    if ((m_pendingLine >= 0 || m_scrollBarsStale) && !m_frameTimer->isActive())
        m_frameTimer->start(0);
}

bool TMemoView::Scrolled(int dy)
{
    if (m_adjusting)
        return false;
    // The user scrolled: a scroll still waiting for the next frame would undo it.
    if (dy != 0)
        m_pendingLine = -1;
    return true;
}

// ---- Places in the viewport ----

std::optional<qreal> TMemoView::LineTop(int line) const
{
    const int top = FirstVisibleLine();
    if (line < top || line >= m_text.Count())
        return std::nullopt;
    const qreal rowHeight = m_layout.RowHeight();
    const int height = m_area.viewport()->height();
    qreal y = m_margin;
    for (int l = top; l < line; ++l) {
        y += m_layout.RowsOf(l) * rowHeight;
        if (y >= height)
            return std::nullopt;
    }
    return y < height ? std::optional<qreal>(y) : std::nullopt;
}

QRectF TMemoView::CharacterRect(TMemoPos pos) const
{
    pos = m_text.Clamp(pos);
    const std::optional<qreal> top = LineTop(pos.Line);
    if (!top)
        return {};
    const QTextLayout& layout = m_layout.Layout(pos.Line);
    const QTextLine row = layout.lineForTextPosition(pos.Column);
    if (!row.isValid())
        return {};
    const QString& text = m_text.Line(pos.Line);
    const qreal x = row.cursorToX(pos.Column);
    const qreal width = pos.Column < text.size()
                            ? QFontMetricsF(m_area.font()).horizontalAdvance(text.at(pos.Column))
                            : 1;
    const qreal left = m_margin - m_area.horizontalScrollBar()->value() + x;
    return QRectF(left, *top + row.y(), std::max<qreal>(1, width), m_layout.RowHeight());
}

TMemoPos TMemoView::PosAtPoint(QPointF point) const
{
    const int count = m_text.Count();
    const qreal rowHeight = m_layout.RowHeight();
    int line = FirstVisibleLine();
    qreal y = m_margin;
    // Walks down from the top line only as far as the point.
    while (line < count - 1) {
        const qreal height = m_layout.RowsOf(line) * rowHeight;
        if (point.y() < y + height)
            break;
        y += height;
        ++line;
    }
    const QTextLayout& layout = m_layout.Layout(line);
    const int row = std::clamp(static_cast<int>(std::floor((point.y() - y) / rowHeight)), 0,
                               std::max(0, layout.lineCount() - 1));
    const QTextLine textRow = layout.lineAt(row);
    if (!textRow.isValid())
        return {line, 0};
    const qreal x = point.x() - (m_margin - m_area.horizontalScrollBar()->value());
    return {line, textRow.xToCursor(x)};
}
