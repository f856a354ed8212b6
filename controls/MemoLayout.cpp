#include "controls/MemoLayout.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QTextLayout>
#include <cmath>

namespace {

// Laid out lines kept for repainting; more than a few screens' worth is dropped at once.
constexpr size_t kMaxCachedLayouts = 512;

} // namespace

TMemoLayout::TMemoLayout(const TMemoText& text, const QAbstractScrollArea& view, int margin)
    : m_text(text), m_view(view), m_margin(margin)
{
}

TMemoLayout::~TMemoLayout() = default;

void TMemoLayout::SetWordWrap(bool wrap)
{
    m_wordWrap = wrap;
    Forget();
}

void TMemoLayout::FontChanged()
{
    m_rowHeight = -1;
    Forget();
}

void TMemoLayout::LinesChanged(int fromLine)
{
    const auto from = static_cast<size_t>(fromLine);
    if (m_rows.size() > from)
        m_rows.resize(from);
    std::erase_if(m_layouts, [fromLine](const auto& entry) { return entry.first >= fromLine; });
}

void TMemoLayout::Trim()
{
    if (m_layouts.size() > kMaxCachedLayouts)
        m_layouts.clear();
}

void TMemoLayout::Forget()
{
    m_layouts.clear();
    m_rows.clear();
    m_rowWidth = -1;
    m_longestWidth = -1;
    m_widestSeen = 0;
}

qreal TMemoLayout::WrapWidth() const
{
    return std::max(1, m_view.viewport()->width() - 2 * m_margin);
}

// The width is taken as the layouts are asked for, so a resize costs nothing until then.
void TMemoLayout::CheckWidth()
{
    if (m_wordWrap && WrapWidth() != m_rowWidth) {
        m_rows.clear();
        m_layouts.clear();
        m_rowWidth = WrapWidth();
    }
}

qreal TMemoLayout::RowHeight()
{
    if (m_rowHeight < 0) {
        const QFontMetricsF metrics(m_view.font());
        // Whole pixels: rows then start on pixel boundaries however far down they are.
        m_rowHeight = std::max<qreal>(1, std::ceil(metrics.height()));
        m_averageCharWidth = std::max<qreal>(1, metrics.averageCharWidth());
    }
    return m_rowHeight;
}

const QTextLayout& TMemoLayout::Layout(int line)
{
    CheckWidth();
    if (auto found = m_layouts.find(line); found != m_layouts.end())
        return *found->second;

    auto layout = std::make_unique<QTextLayout>(m_text.Line(line), m_view.font());
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
            m_rows.resize(std::max(index + 1, static_cast<size_t>(m_text.Count())));
        m_rows[index] = std::max(1, rows);
    }
    return *m_layouts.emplace(line, std::move(layout)).first->second;
}

int TMemoLayout::KnownRows(int line)
{
    if (!m_wordWrap)
        return 1;
    CheckWidth();
    const auto index = static_cast<size_t>(line);
    return index < m_rows.size() ? m_rows[index] : 0;
}

int TMemoLayout::RowsOf(int line)
{
    if (int known = KnownRows(line); known > 0)
        return known;
    return std::max(1, Layout(line).lineCount());
}

int TMemoLayout::EstimatedRows(int line)
{
    if (int known = KnownRows(line); known > 0)
        return known;
    RowHeight();
    const qreal width = m_text.Line(line).size() * m_averageCharWidth;
    return std::max(1, static_cast<int>(std::ceil(width / WrapWidth())));
}

qreal TMemoLayout::WidestLine()
{
    if (m_longestWidth < 0 || m_longestRevision != m_text.LongestRevision()) {
        m_longestWidth =
            QFontMetricsF(m_view.font()).horizontalAdvance(m_text.Line(m_text.LongestLine()));
        m_longestRevision = m_text.LongestRevision();
    }
    return std::max(m_longestWidth, m_widestSeen);
}

// ---- Lines in a height ----

bool TMemoLayout::FitsBelow(int top, int line, qreal room, bool exact)
{
    if (line < top || line >= m_text.Count())
        return false;
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

int TMemoLayout::TopShowing(int line, int fromTop, qreal room, bool exact)
{
    fromTop = std::clamp(fromTop, 0, m_text.Count() - 1);
    if (line <= fromTop)
        return line;
    if (FitsBelow(fromTop, line, room, exact))
        return fromTop;
    // The line goes to the bottom of the view, with as many lines above it as fit.
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

int TMemoLayout::MaxTopLine(qreal room, bool exact)
{
    const int count = m_text.Count();
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

int TMemoLayout::LastFitting(int top, qreal room)
{
    const qreal rowHeight = RowHeight();
    qreal bottom = 0;
    int last = -1;
    for (int l = top; l < m_text.Count(); ++l) {
        bottom += RowsOf(l) * rowHeight;
        if (bottom > room)
            break;
        last = l;
    }
    return last;
}

TMemoPos TMemoLayout::RowStep(TMemoPos pos, int rows, qreal& goalX)
{
    int line = pos.Line;
    int row = 0;
    {
        const QTextLayout& layout = Layout(line);
        const QTextLine textRow = layout.lineForTextPosition(pos.Column);
        row = textRow.isValid() ? textRow.lineNumber() : 0;
        if (goalX < 0)
            goalX = textRow.isValid() ? textRow.cursorToX(pos.Column) : 0;
    }
    const int lastLine = m_text.Count() - 1;
    for (; rows > 0; --rows) {
        if (row + 1 < RowsOf(line)) {
            ++row;
        } else if (line < lastLine) {
            ++line;
            row = 0;
        } else {
            // Down on the last row goes to the end of the text.
            return m_text.EndPos();
        }
    }
    for (; rows < 0; ++rows) {
        if (row > 0) {
            --row;
        } else if (line > 0) {
            --line;
            row = RowsOf(line) - 1;
        } else {
            return {};
        }
    }
    const QTextLine target = Layout(line).lineAt(row);
    return {line, target.isValid() ? target.xToCursor(goalX) : 0};
}
