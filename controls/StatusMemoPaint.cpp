// Layout of the lines on screen and painting.
#include "controls/StatusMemo.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <cmath>

namespace {

// Laid out lines kept for repainting; more than a few screens' worth is dropped at once.
constexpr size_t kMaxCachedLayouts = 512;

} // namespace

qreal TStatusMemo::RowHeight() const
{
    if (m_rowHeight < 0) {
        const QFontMetricsF metrics(font());
        // Whole pixels: rows then start on pixel boundaries however far down they are.
        m_rowHeight = std::max<qreal>(1, std::ceil(metrics.height()));
        m_averageCharWidth = std::max<qreal>(1, metrics.averageCharWidth());
    }
    return m_rowHeight;
}

void TStatusMemo::CheckWidth() const
{
    if (m_wordWrap && WrapWidth() != m_rowWidth) {
        m_rows.clear();
        m_layouts.clear();
        m_rowWidth = WrapWidth();
    }
}

void TStatusMemo::ForgetLayouts()
{
    m_layouts.clear();
    m_rows.clear();
    m_rowWidth = -1;
    m_longestWidth = -1;
    m_widestSeen = 0;
}

void TStatusMemo::TrimLayouts() const
{
    if (m_layouts.size() > kMaxCachedLayouts)
        m_layouts.clear();
}

const QTextLayout& TStatusMemo::Layout(int line) const
{
    CheckWidth();
    if (auto found = m_layouts.find(line); found != m_layouts.end())
        return *found->second;

    auto layout = std::make_unique<QTextLayout>(Line(line), font());
    QTextOption option;
    option.setWrapMode(m_wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                  : QTextOption::NoWrap);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const qreal rowHeight = RowHeight();
    int rows = 0;
    layout->beginLayout();
    for (;;) {
        QTextLine row = layout->createLine();
        if (!row.isValid())
            break;
        row.setLineWidth(WrapWidth());
        row.setPosition(QPointF(0, rows * rowHeight));
        ++rows;
    }
    layout->endLayout();

    if (m_wordWrap) {
        const auto index = static_cast<size_t>(line);
        if (m_rows.size() <= index)
            m_rows.resize(std::max(index + 1, m_lines.size()));
        m_rows[index] = std::max(1, rows);
    }
    return *m_layouts.emplace(line, std::move(layout)).first->second;
}

int TStatusMemo::KnownRows(int line) const
{
    if (!m_wordWrap)
        return 1;
    CheckWidth();
    const auto index = static_cast<size_t>(line);
    return index < m_rows.size() ? m_rows[index] : 0;
}

int TStatusMemo::RowsOf(int line) const
{
    if (int known = KnownRows(line); known > 0)
        return known;
    return std::max(1, Layout(line).lineCount());
}

int TStatusMemo::EstimatedRows(int line) const
{
    if (int known = KnownRows(line); known > 0)
        return known;
    RowHeight();
    const qreal width = Line(line).size() * m_averageCharWidth;
    return std::max(1, static_cast<int>(std::ceil(width / WrapWidth())));
}

qreal TStatusMemo::WidestLine() const
{
    if (m_longestWidth < 0)
        m_longestWidth = QFontMetricsF(font()).horizontalAdvance(Line(m_longestLine));
    return std::max(m_longestWidth, m_widestSeen);
}

std::optional<qreal> TStatusMemo::LineTop(int line) const
{
    const int top = FirstVisibleLine();
    if (line < top || line >= static_cast<int>(m_lines.size()))
        return std::nullopt;
    const qreal rowHeight = RowHeight();
    const int height = viewport()->height();
    qreal y = kMargin;
    for (int l = top; l < line; ++l) {
        y += RowsOf(l) * rowHeight;
        if (y >= height)
            return std::nullopt;
    }
    return y < height ? std::optional<qreal>(y) : std::nullopt;
}

QRectF TStatusMemo::CharacterRect(TMemoPos pos) const
{
    pos = Clamp(pos);
    const std::optional<qreal> top = LineTop(pos.Line);
    if (!top)
        return {};
    const QTextLayout& layout = Layout(pos.Line);
    const QTextLine row = layout.lineForTextPosition(pos.Column);
    if (!row.isValid())
        return {};
    const QString& text = Line(pos.Line);
    const qreal x = row.cursorToX(pos.Column);
    const qreal width =
        pos.Column < text.size() ? QFontMetricsF(font()).horizontalAdvance(text.at(pos.Column)) : 1;
    const qreal left = kMargin - horizontalScrollBar()->value() + x;
    return QRectF(left, *top + row.y(), std::max<qreal>(1, width), RowHeight());
}

TMemoPos TStatusMemo::PosAtPoint(QPointF point) const
{
    const int count = static_cast<int>(m_lines.size());
    const qreal rowHeight = RowHeight();
    int line = FirstVisibleLine();
    qreal y = kMargin;
    // Walks down from the top line only as far as the point.
    while (line < count - 1) {
        const qreal height = RowsOf(line) * rowHeight;
        if (point.y() < y + height)
            break;
        y += height;
        ++line;
    }
    const QTextLayout& layout = Layout(line);
    const int row = std::clamp(static_cast<int>(std::floor((point.y() - y) / rowHeight)), 0,
                               std::max(0, layout.lineCount() - 1));
    const QTextLine textRow = layout.lineAt(row);
    if (!textRow.isValid())
        return {line, 0};
    const qreal x = point.x() - (kMargin - horizontalScrollBar()->value());
    return {line, textRow.xToCursor(x)};
}

void TStatusMemo::paintEvent(QPaintEvent* event)
{
    TrimLayouts();
    m_sinceFrame.start();
    // Drawn at the top the view is heading for; the scroll bars follow right after, never
    // from inside a paint.
    if ((m_pendingLine >= 0 || m_scrollBarsStale) && !m_frameTimer->isActive())
        m_frameTimer->start(0);
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const QPalette& colours = palette();
    painter.setPen(colours.color(QPalette::Text));

    QTextCharFormat selected;
    selected.setBackground(colours.brush(QPalette::Highlight));
    selected.setForeground(colours.brush(QPalette::HighlightedText));
    const TMemoPos selStart = SelectionStart();
    const TMemoPos selEnd = SelectionEnd();
    const bool drawCaret = hasFocus() && m_caretShown;

    const qreal rowHeight = RowHeight();
    const qreal x = kMargin - horizontalScrollBar()->value();
    const int height = viewport()->height();
    const int count = static_cast<int>(m_lines.size());
    const qreal widestBefore = m_widestSeen;
    qreal y = kMargin;
    for (int line = FirstVisibleLine(); line < count && y < height; ++line) {
        const qreal bottom = y + RowsOf(line) * rowHeight;
        if (bottom >= dirty.top() && y <= dirty.bottom()) {
            const QTextLayout& layout = Layout(line);
            QList<QTextLayout::FormatRange> ranges;
            if (HasSelection() && line >= selStart.Line && line <= selEnd.Line) {
                const int from = line == selStart.Line ? selStart.Column : 0;
                const int to =
                    line == selEnd.Line ? selEnd.Column : static_cast<int>(Line(line).size());
                if (to > from)
                    ranges.append({from, to - from, selected});
                if (line < selEnd.Line) {
                    // The line break is selected too: a space's width after the text shows it.
                    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
                    const qreal space = QFontMetricsF(font()).horizontalAdvance(u' ');
                    const qreal end = last.isValid() ? last.x() + last.naturalTextWidth() : 0;
                    const qreal top = last.isValid() ? last.y() : 0;
                    painter.fillRect(QRectF(x + end, y + top, space, rowHeight),
                                     colours.brush(QPalette::Highlight));
                }
            }
            layout.draw(&painter, QPointF(x, y), ranges);
            if (drawCaret && line == m_caret.Line)
                layout.drawCursor(&painter, QPointF(x, y), m_caret.Column, 1);
            if (!m_wordWrap)
                if (const QTextLine row = layout.lineAt(0); row.isValid())
                    m_widestSeen = std::max(m_widestSeen, row.naturalTextWidth());
        }
        y = bottom;
    }

    const int room = viewport()->width() - 2 * kMargin;
    if (m_widestSeen > widestBefore && !m_rangeUpdatePosted &&
        std::ceil(m_widestSeen) + 1 - room > horizontalScrollBar()->maximum()) {
        // A line wider than any measured so far: widen the scroll range after this paint.
        m_rangeUpdatePosted = true;
        QTimer::singleShot(0, this, [this] {
            m_rangeUpdatePosted = false;
            UpdateScrollBars();
        });
    }
}

void TStatusMemo::resizeEvent(QResizeEvent* event)
{
    // A view at the end of the log stays there when rows wrap anew.
    const QScrollBar* vertical = verticalScrollBar();
    const bool atEnd = m_pendingLine < 0 && vertical->value() >= vertical->maximum() &&
                       CaretAtEnd() && LineCount() > 0;
    QAbstractScrollArea::resizeEvent(event);
    if (atEnd)
        EnsureLineVisible(static_cast<int>(m_lines.size()) - 1);
    if (m_pendingLine < 0)
        UpdateScrollBars();
    else
        ApplyPendingScroll();
}

void TStatusMemo::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_rowHeight = -1;
        ForgetLayouts();
        UpdateScrollBars();
    }
    viewport()->update();
}

void TStatusMemo::EnsureCaretXVisible()
{
    if (m_wordWrap)
        return;
    const QTextLayout& layout = Layout(m_caret.Line);
    const QTextLine row = layout.lineAt(0);
    const qreal x = row.isValid() ? row.cursorToX(m_caret.Column) : 0;
    QScrollBar* horizontal = horizontalScrollBar();
    const int room = std::max(1, viewport()->width() - 2 * kMargin);
    int value = horizontal->value();
    if (x < value)
        value = static_cast<int>(std::floor(x));
    else if (x > value + room - 1)
        value = static_cast<int>(std::ceil(x)) - room + 1;
    if (value > horizontal->maximum())
        horizontal->setMaximum(value);
    horizontal->setValue(value);
}
