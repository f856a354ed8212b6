#include "controls/StatusMemo.h"

#include "controls/StatusMemoAccessible.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>

TStatusMemo::TStatusMemo(QWidget* parent) : QAbstractScrollArea(parent), m_lines(1)
{
    InstallStatusMemoAccessible();
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    m_blinkTimer = new QTimer(this);
    connect(m_blinkTimer, &QTimer::timeout, this, &TStatusMemo::OnBlink);
    m_frameTimer = new QTimer(this);
    m_frameTimer->setSingleShot(true);
    connect(m_frameTimer, &QTimer::timeout, this, &TStatusMemo::OnFrame);
    UpdateScrollBars();
}

TStatusMemo::~TStatusMemo() = default;

// ---- The text ----

void TStatusMemo::AppendLines(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    TrimLayouts();
    const bool caretAtEnd = CaretAtEnd();
    const bool follow = caretAtEnd && ShowingEnd();
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    const bool accessible = QAccessible::isActive();
    const qsizetype insertAt = accessible ? CharacterCount() : 0;
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
        NoteLongest(static_cast<int>(m_lines.size()) - 1);
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

    if (caretAtEnd) {
        const bool hadSelection = HasSelection();
        m_caret = EndPos();
        if (!hadSelection)
            m_anchor = m_caret;
    }
    // The view and the scroll bars catch up once a frame, however many batches come in it.
    if (follow)
        EnsureLineVisible(static_cast<int>(m_lines.size()) - 1);
    else
        m_scrollBarsStale = true;
    ScheduleFrame();
    emit textChanged();
    if (accessible)
        NotifyTextInserted(insertAt,
                           (wasEmpty ? QString() : QStringLiteral("\n")) + lines.join(u'\n'));
    NotifyCaret(oldCaret, oldAnchor);
}

QString TStatusMemo::toPlainText() const
{
    return TextBetween({0, 0}, EndPos());
}

void TStatusMemo::setPlainText(const QString& text)
{
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    const QString oldText = QAccessible::isActive() ? toPlainText() : QString();
    m_lines.clear();
    for (const QString& line : text.split(u'\n'))
        m_lines.push_back(line);
    m_noLines = text.isEmpty();
    m_longestLine = 0;
    LinesChanged(0);
    m_caret = m_anchor = {};
    m_goalX = -1;
    m_pendingLine = -1;
    {
        const ScrollGuard guard(*this);
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
        UpdateScrollBars();
    }
    viewport()->update();
    emit textChanged();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent update(this, 0, oldText, text);
        QAccessible::updateAccessibility(&update);
    }
    NotifyCaret(oldCaret, oldAnchor);
}

void TStatusMemo::clear()
{
    setPlainText(QString());
}

int TStatusMemo::LineCount() const
{
    if (m_noLines)
        return 0;
    return static_cast<int>(m_lines.size());
}

qsizetype TStatusMemo::CharacterCount() const
{
    const int last = static_cast<int>(m_lines.size()) - 1;
    ExtendOffsets(last);
    return m_lineStart[static_cast<size_t>(last)] + m_lines.back().size();
}

QString TStatusMemo::TextBetween(TMemoPos from, TMemoPos to) const
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

// ---- Offsets ----

void TStatusMemo::ExtendOffsets(int line) const
{
    if (m_lineStart.empty())
        m_lineStart.push_back(0);
    while (static_cast<int>(m_lineStart.size()) <= line) {
        const size_t next = m_lineStart.size();
        m_lineStart.push_back(m_lineStart[next - 1] + m_lines[next - 1].size() + 1);
    }
}

qsizetype TStatusMemo::OffsetOf(TMemoPos pos) const
{
    pos = Clamp(pos);
    ExtendOffsets(pos.Line);
    return m_lineStart[static_cast<size_t>(pos.Line)] + pos.Column;
}

TMemoPos TStatusMemo::PosAt(qsizetype offset) const
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

TMemoPos TStatusMemo::Clamp(TMemoPos pos) const
{
    pos.Line = std::clamp(pos.Line, 0, static_cast<int>(m_lines.size()) - 1);
    pos.Column = std::clamp(pos.Column, 0, static_cast<int>(Line(pos.Line).size()));
    return pos;
}

TMemoPos TStatusMemo::EndPos() const
{
    return {static_cast<int>(m_lines.size()) - 1, static_cast<int>(m_lines.back().size())};
}

void TStatusMemo::LinesChanged(int fromLine)
{
    const auto from = static_cast<size_t>(fromLine);
    if (m_lineStart.size() > from + 1)
        m_lineStart.resize(from + 1);
    if (m_rows.size() > from)
        m_rows.resize(from);
    std::erase_if(m_layouts, [fromLine](const auto& entry) { return entry.first >= fromLine; });
    if (m_longestLine >= fromLine || m_longestLine >= static_cast<int>(m_lines.size())) {
        // The record may have shrunk or gone: look again (edits only, never appends).
        m_longestLine = 0;
        for (int line = 1; line < static_cast<int>(m_lines.size()); ++line)
            NoteLongest(line);
        m_longestWidth = -1;
    }
}

void TStatusMemo::NoteLongest(int line)
{
    if (Line(line).size() > Line(m_longestLine).size() || line == m_longestLine) {
        m_longestLine = line;
        m_longestWidth = -1;
    }
}

// ---- Caret and selection ----

void TStatusMemo::SetCaret(TMemoPos pos, bool keepAnchor)
{
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    m_caret = Clamp(pos);
    if (!keepAnchor)
        m_anchor = m_caret;
    m_goalX = -1;
    if (m_caret == oldCaret && m_anchor == oldAnchor)
        return;
    RestartBlink();
    // Redrawn with the next frame: a caret that follows appended lines costs no extra paint.
    ScheduleFrame();
    NotifyCaret(oldCaret, oldAnchor);
}

void TStatusMemo::Select(TMemoPos anchor, TMemoPos caret)
{
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    m_anchor = Clamp(anchor);
    m_caret = Clamp(caret);
    m_goalX = -1;
    RestartBlink();
    ScheduleFrame();
    NotifyCaret(oldCaret, oldAnchor);
}

void TStatusMemo::MoveCaretToEnd()
{
    SetCaret(EndPos());
}

QString TStatusMemo::SelectedText() const
{
    return TextBetween(SelectionStart(), SelectionEnd());
}

void TStatusMemo::selectAll()
{
    Select({}, EndPos());
}

void TStatusMemo::NotifyCaret(TMemoPos oldCaret, TMemoPos oldAnchor)
{
    const bool caretMoved = oldCaret != m_caret;
    const bool hadSelection = oldCaret != oldAnchor;
    const bool selectionChangedNow =
        (hadSelection || HasSelection()) && (std::min(oldCaret, oldAnchor) != SelectionStart() ||
                                             std::max(oldCaret, oldAnchor) != SelectionEnd());
    if (caretMoved)
        emit cursorPositionChanged();
    if (selectionChangedNow)
        emit selectionChanged();
    if (!QAccessible::isActive())
        return;
    if (selectionChangedNow) {
        QAccessibleTextSelectionEvent selection(this, static_cast<int>(OffsetOf(SelectionStart())),
                                                static_cast<int>(OffsetOf(SelectionEnd())));
        selection.setCursorPosition(static_cast<int>(OffsetOf(m_caret)));
        QAccessible::updateAccessibility(&selection);
    } else if (caretMoved) {
        QAccessibleTextCursorEvent cursor(this, static_cast<int>(OffsetOf(m_caret)));
        QAccessible::updateAccessibility(&cursor);
    }
}

void TStatusMemo::NotifyTextInserted(qsizetype offset, const QString& text)
{
    QAccessibleTextInsertEvent inserted(this, static_cast<int>(offset), text);
    QAccessible::updateAccessibility(&inserted);
}

void TStatusMemo::NotifyTextRemoved(qsizetype offset, const QString& text)
{
    QAccessibleTextRemoveEvent removed(this, static_cast<int>(offset), text);
    QAccessible::updateAccessibility(&removed);
}
