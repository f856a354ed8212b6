#include "controls/StatusMemo.h"

#include "controls/StatusMemoAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextLayout>
#include <QTimer>
#include <cmath>
#include <memory>

namespace {

// Line breaks of any platform become '\n'.
QString NormalizedBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

// Keys that move the caret or edit: the window's shortcuts must not take them from the pane.
bool IsEditingKey(const QKeyEvent* event, bool readOnly)
{
    static const QKeySequence::StandardKey keys[] = {QKeySequence::Copy,
                                                     QKeySequence::Cut,
                                                     QKeySequence::Paste,
                                                     QKeySequence::SelectAll,
                                                     QKeySequence::Delete,
                                                     QKeySequence::MoveToNextChar,
                                                     QKeySequence::MoveToPreviousChar,
                                                     QKeySequence::SelectNextChar,
                                                     QKeySequence::SelectPreviousChar,
                                                     QKeySequence::MoveToNextWord,
                                                     QKeySequence::MoveToPreviousWord,
                                                     QKeySequence::SelectNextWord,
                                                     QKeySequence::SelectPreviousWord,
                                                     QKeySequence::MoveToStartOfLine,
                                                     QKeySequence::MoveToEndOfLine,
                                                     QKeySequence::SelectStartOfLine,
                                                     QKeySequence::SelectEndOfLine,
                                                     QKeySequence::MoveToStartOfDocument,
                                                     QKeySequence::MoveToEndOfDocument,
                                                     QKeySequence::SelectStartOfDocument,
                                                     QKeySequence::SelectEndOfDocument};
    for (QKeySequence::StandardKey key : keys) {
        if (event->matches(key))
            return true;
    }
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    return !readOnly && !command && !event->text().isEmpty() && event->text().at(0).isPrint();
}

} // namespace

TStatusMemo::TStatusMemo(QWidget* parent) : QAbstractScrollArea(parent)
{
    InstallStatusMemoAccessible();
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    m_blinkTimer = new QTimer(this);
    connect(m_blinkTimer, &QTimer::timeout, this, &TStatusMemo::OnBlink);
    m_view.UpdateScrollBars();
}

TStatusMemo::~TStatusMemo() = default;

// ---- The text ----

void TStatusMemo::AppendLines(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    m_layout.Trim();
    const bool caretAtEnd = CaretAtEnd();
    const bool follow = caretAtEnd && m_view.ShowingEnd();
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    const bool accessible = QAccessible::isActive();
    const qsizetype insertAt = accessible ? CharacterCount() : 0;
    const bool wasEmpty = m_text.Append(lines);
    if (wasEmpty)
        m_layout.LinesChanged(0);

    if (caretAtEnd) {
        const bool hadSelection = HasSelection();
        m_caret = EndPos();
        if (!hadSelection)
            m_anchor = m_caret;
    }
    // The view and the scroll bars catch up once a frame, however many batches come in it.
    if (follow)
        EnsureLineVisible(m_text.Count() - 1);
    else
        m_view.ScrollBarsStale();
    m_view.ScheduleFrame();
    emit textChanged();
    if (accessible)
        NotifyTextInserted(insertAt,
                           (wasEmpty ? QString() : QStringLiteral("\n")) + lines.join(u'\n'));
    NotifyCaret(oldCaret, oldAnchor);
}

QString TStatusMemo::toPlainText() const
{
    return m_text.TextBetween({0, 0}, EndPos());
}

void TStatusMemo::setPlainText(const QString& text)
{
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    const QString oldText = QAccessible::isActive() ? toPlainText() : QString();
    m_text.SetText(text);
    m_layout.LinesChanged(0);
    m_caret = m_anchor = {};
    m_goalX = -1;
    m_view.DropPendingScroll();
    {
        const TMemoView::Guard guard(m_view);
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
        m_view.UpdateScrollBars();
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

// ---- Caret and selection ----

void TStatusMemo::SetCaret(TMemoPos pos, bool keepAnchor)
{
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    m_caret = m_text.Clamp(pos);
    if (!keepAnchor)
        m_anchor = m_caret;
    m_goalX = -1;
    if (m_caret == oldCaret && m_anchor == oldAnchor)
        return;
    RestartBlink();
    // Redrawn with the next frame: a caret that follows appended lines costs no extra paint.
    m_view.ScheduleFrame();
    NotifyCaret(oldCaret, oldAnchor);
}

void TStatusMemo::Select(TMemoPos anchor, TMemoPos caret)
{
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    m_anchor = m_text.Clamp(anchor);
    m_caret = m_text.Clamp(caret);
    m_goalX = -1;
    RestartBlink();
    m_view.ScheduleFrame();
    NotifyCaret(oldCaret, oldAnchor);
}

void TStatusMemo::MoveCaretToEnd()
{
    SetCaret(EndPos());
}

QString TStatusMemo::SelectedText() const
{
    return m_text.TextBetween(SelectionStart(), SelectionEnd());
}

void TStatusMemo::selectAll()
{
    Select({}, EndPos());
}

void TStatusMemo::SelectWordAt(TMemoPos pos)
{
    const auto [start, end] = m_text.WordAt(pos);
    if (start == end)
        SetCaret(start);
    else
        Select(start, end);
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

// ---- Editing ----

void TStatusMemo::setReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly)
        return;
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.readOnly = true;
        changed.editable = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
    viewport()->update();
}

void TStatusMemo::ReplaceText(TMemoPos from, TMemoPos to, const QString& text)
{
    if (!m_readOnly)
        ReplaceRange(from, to, text);
}

void TStatusMemo::ReplaceRange(TMemoPos from, TMemoPos to, const QString& text)
{
    from = m_text.Clamp(from);
    to = m_text.Clamp(to);
    if (to < from)
        std::swap(from, to);
    const QString inserted = NormalizedBreaks(text);
    if (from == to && inserted.isEmpty())
        return;
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    const bool accessible = QAccessible::isActive();
    const qsizetype offset = accessible ? OffsetOf(from) : 0;
    const QString removed = accessible ? m_text.TextBetween(from, to) : QString();

    const TMemoPos after = m_text.Replace(from, to, inserted);
    m_layout.LinesChanged(from.Line);
    m_view.ScrollBarsStale();

    m_caret = m_anchor = after;
    m_goalX = -1;
    RestartBlink();
    EnsureCaretVisible();
    viewport()->update();
    emit textChanged();
    if (accessible) {
        if (!removed.isEmpty())
            NotifyTextRemoved(offset, removed);
        if (!inserted.isEmpty())
            NotifyTextInserted(offset, inserted);
    }
    NotifyCaret(oldCaret, oldAnchor);
}

void TStatusMemo::InsertText(const QString& text)
{
    ReplaceText(SelectionStart(), SelectionEnd(), text);
}

void TStatusMemo::DeleteSelection()
{
    if (HasSelection())
        ReplaceText(SelectionStart(), SelectionEnd(), {});
}

void TStatusMemo::Backspace()
{
    if (HasSelection())
        DeleteSelection();
    else
        ReplaceText(m_text.PrevChar(m_caret), m_caret, {});
}

void TStatusMemo::DeleteForward()
{
    if (HasSelection())
        DeleteSelection();
    else
        ReplaceText(m_caret, m_text.NextChar(m_caret), {});
}

void TStatusMemo::copy() const
{
    if (HasSelection())
        QGuiApplication::clipboard()->setText(SelectedText());
}

void TStatusMemo::cut()
{
    if (m_readOnly || !HasSelection())
        return;
    copy();
    DeleteSelection();
}

void TStatusMemo::paste()
{
    if (m_readOnly)
        return;
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        InsertText(text);
}

QMenu* TStatusMemo::CreateContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    auto add = [&](const QString& text, const char* name, QKeySequence::StandardKey key,
                   bool enabled, auto handler) {
        QAction* action = menu->addAction(text, this, handler);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(key);
        action->setEnabled(enabled);
    };
    const bool editable = !m_readOnly;
    if (editable)
        add(tr("Cu&t"), "edit-cut", QKeySequence::Cut, HasSelection(), [this] { cut(); });
    add(tr("&Copy"), "edit-copy", QKeySequence::Copy, HasSelection(), [this] { copy(); });
    if (editable) {
        const bool clipboardText = !QGuiApplication::clipboard()->text().isEmpty();
        add(tr("&Paste"), "edit-paste", QKeySequence::Paste, clipboardText, [this] { paste(); });
        add(tr("Delete"), "edit-delete", QKeySequence::UnknownKey, HasSelection(),
            [this] { DeleteSelection(); });
    }
    menu->addSeparator();
    add(tr("Select All"), "select-all", QKeySequence::SelectAll, CharacterCount() > 0,
        [this] { selectAll(); });
    return menu;
}

// ---- Keyboard ----

bool TStatusMemo::HandleMoveKey(QKeyEvent* event)
{
    using Key = QKeySequence;
    m_view.ApplyPendingScroll();
    const TMemoPos line0{m_caret.Line, 0};
    const TMemoPos lineEnd{m_caret.Line, static_cast<int>(Line(m_caret.Line).size())};
    const int page = m_view.PageRows();
    TMemoPos target;
    bool select = false;
    int rows = 0;
    if (event->matches(Key::MoveToNextChar))
        target = HasSelection() ? SelectionEnd() : m_text.NextChar(m_caret);
    else if (event->matches(Key::MoveToPreviousChar))
        target = HasSelection() ? SelectionStart() : m_text.PrevChar(m_caret);
    else if ((select = event->matches(Key::SelectNextChar)))
        target = m_text.NextChar(m_caret);
    else if ((select = event->matches(Key::SelectPreviousChar)))
        target = m_text.PrevChar(m_caret);
    else if (event->matches(Key::MoveToNextWord) || (select = event->matches(Key::SelectNextWord)))
        target = m_text.NextWord(m_caret);
    else if (event->matches(Key::MoveToPreviousWord) ||
             (select = event->matches(Key::SelectPreviousWord)))
        target = m_text.PrevWord(m_caret);
    else if (event->matches(Key::MoveToNextLine) || (select = event->matches(Key::SelectNextLine)))
        rows = 1;
    else if (event->matches(Key::MoveToPreviousLine) ||
             (select = event->matches(Key::SelectPreviousLine)))
        rows = -1;
    else if (event->matches(Key::MoveToNextPage) || (select = event->matches(Key::SelectNextPage)))
        rows = page;
    else if (event->matches(Key::MoveToPreviousPage) ||
             (select = event->matches(Key::SelectPreviousPage)))
        rows = -page;
    else if (event->matches(Key::MoveToStartOfLine) || event->matches(Key::MoveToStartOfBlock) ||
             (select = event->matches(Key::SelectStartOfLine) ||
                       event->matches(Key::SelectStartOfBlock)))
        target = line0;
    else if (event->matches(Key::MoveToEndOfLine) || event->matches(Key::MoveToEndOfBlock) ||
             (select =
                  event->matches(Key::SelectEndOfLine) || event->matches(Key::SelectEndOfBlock)))
        target = lineEnd;
    else if (event->matches(Key::MoveToStartOfDocument) ||
             (select = event->matches(Key::SelectStartOfDocument)))
        target = {};
    else if (event->matches(Key::MoveToEndOfDocument) ||
             (select = event->matches(Key::SelectEndOfDocument)))
        target = EndPos();
    else
        return false;

    if (rows != 0) {
        const int oldLine = m_caret.Line;
        target = m_layout.RowStep(m_caret, rows, m_goalX);
        const qreal goal = m_goalX;
        SetCaret(target, select);
        m_goalX = goal;
        if (rows == page || rows == -page) {
            // A page move takes the view along by as many lines as the caret went.
            QScrollBar* vertical = verticalScrollBar();
            vertical->setValue(vertical->value() + target.Line - oldLine);
        }
    } else {
        SetCaret(target, select);
    }
    EnsureCaretVisible();
    return true;
}

bool TStatusMemo::HandleEditKey(QKeyEvent* event)
{
    using Key = QKeySequence;
    if (event->matches(Key::SelectAll)) {
        selectAll();
        return true;
    }
    if (event->matches(Key::Copy)) {
        copy();
        return true;
    }
    if (event->matches(Key::Cut)) {
        cut();
        return true;
    }
    if (event->matches(Key::Paste)) {
        paste();
        return true;
    }
    if (event->matches(Key::Delete)) {
        DeleteForward();
        return true;
    }
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (event->key() == Qt::Key_Backspace && !command) {
        Backspace();
        return true;
    }
    if (m_readOnly)
        return false;
    if (event->matches(Key::InsertParagraphSeparator) || event->matches(Key::InsertLineSeparator)) {
        InsertText(QStringLiteral("\n"));
        return true;
    }
    // Tab and Shift+Tab move the focus on (QWidget::event); Ctrl+Tab types a tab.
    if (event->key() == Qt::Key_Tab &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        InsertText(QStringLiteral("\t"));
        return true;
    }
    const QString text = event->text();
    if (!command && !text.isEmpty() && text.at(0).isPrint()) {
        InsertText(text);
        return true;
    }
    return false;
}

void TStatusMemo::keyPressEvent(QKeyEvent* event)
{
    if (HandleMoveKey(event) || HandleEditKey(event)) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool TStatusMemo::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        IsEditingKey(static_cast<QKeyEvent*>(event), m_readOnly)) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

// ---- Mouse ----

void TStatusMemo::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    SetCaret(PosAtPoint(event->position()), event->modifiers() & Qt::ShiftModifier);
    m_dragging = true;
    event->accept();
}

void TStatusMemo::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    QPointF point = event->position();
    QScrollBar* vertical = verticalScrollBar();
    // Dragging past an edge scrolls a line at a time.
    if (point.y() < 0) {
        vertical->setValue(vertical->value() - 1);
        point.setY(0);
    } else if (point.y() >= viewport()->height()) {
        vertical->setValue(vertical->value() + 1);
        point.setY(viewport()->height() - 1);
    }
    SetCaret(PosAtPoint(point), true);
    m_view.EnsureColumnVisible(m_caret);
    event->accept();
}

void TStatusMemo::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (HasSelection() && clipboard->supportsSelection())
            clipboard->setText(SelectedText(), QClipboard::Selection);
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TStatusMemo::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    SelectWordAt(PosAtPoint(event->position()));
    m_dragging = false;
    event->accept();
}

void TStatusMemo::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(CreateContextMenu(this));
    menu->exec(event->globalPos());
}

// ---- Focus, caret blinking, input methods ----

void TStatusMemo::RestartBlink()
{
    m_caretShown = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        m_blinkTimer->start(flashTime / 2);
    else
        m_blinkTimer->stop();
}

void TStatusMemo::OnBlink()
{
    m_caretShown = !m_caretShown;
    const QRectF caret = CharacterRect(m_caret);
    if (!caret.isEmpty())
        viewport()->update(caret.toAlignedRect().adjusted(-2, 0, 2, 0));
}

void TStatusMemo::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
    viewport()->update();
}

void TStatusMemo::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blinkTimer->stop();
    m_dragging = false;
    viewport()->update();
}

void TStatusMemo::inputMethodEvent(QInputMethodEvent* event)
{
    if (!m_readOnly && !event->commitString().isEmpty())
        InsertText(event->commitString());
    event->accept();
}

QVariant TStatusMemo::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return CharacterRect(m_caret).translated(viewport()->pos()).toRect();
    case Qt::ImCursorPosition:
        return m_caret.Column;
    case Qt::ImAnchorPosition:
        return m_anchor.Line == m_caret.Line ? m_anchor.Column : m_caret.Column;
    case Qt::ImSurroundingText:
        return Line(m_caret.Line);
    case Qt::ImCurrentSelection:
        return SelectedText();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// ---- The view ----

void TStatusMemo::EnsureCaretVisible()
{
    m_view.EnsureLineVisible(m_caret.Line);
    m_view.EnsureColumnVisible(m_caret);
}

void TStatusMemo::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    m_view.ApplyPendingScroll();
}

void TStatusMemo::scrollContentsBy(int dx, int dy)
{
    (void)dx;
    if (m_view.Scrolled(dy))
        viewport()->update();
}

void TStatusMemo::setWordWrap(bool wrap)
{
    if (wrap == m_layout.WordWrap())
        return;
    m_layout.SetWordWrap(wrap);
    {
        const TMemoView::Guard guard(m_view);
        horizontalScrollBar()->setValue(0);
    }
    m_view.UpdateScrollBars();
    viewport()->update();
}

void TStatusMemo::resizeEvent(QResizeEvent* event)
{
    // A view at the end of the log stays there when rows wrap anew.
    const QScrollBar* vertical = verticalScrollBar();
    const bool atEnd = !m_view.ScrollPending() && vertical->value() >= vertical->maximum() &&
                       CaretAtEnd() && LineCount() > 0;
    QAbstractScrollArea::resizeEvent(event);
    if (atEnd)
        m_view.EnsureLineVisible(m_text.Count() - 1);
    if (m_view.ScrollPending())
        m_view.ApplyPendingScroll();
    else
        m_view.UpdateScrollBars();
}

void TStatusMemo::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_layout.FontChanged();
        m_view.UpdateScrollBars();
    }
    viewport()->update();
}

// ---- Painting ----

void TStatusMemo::paintEvent(QPaintEvent* event)
{
    m_layout.Trim();
    // Drawn at the top the view is heading for.
    m_view.Painting();
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
    const int count = m_text.Count();
    const bool wrap = m_layout.WordWrap();
    const qreal widestBefore = m_layout.WidestSeen();
    qreal y = kMargin;
    for (int line = FirstVisibleLine(); line < count && y < height; ++line) {
        const qreal bottom = y + m_layout.RowsOf(line) * rowHeight;
        if (bottom >= dirty.top() && y <= dirty.bottom()) {
            const QTextLayout& layout = m_layout.Layout(line);
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
            if (!wrap)
                if (const QTextLine row = layout.lineAt(0); row.isValid())
                    m_layout.SeeWidth(row.naturalTextWidth());
        }
        y = bottom;
    }

    const int room = viewport()->width() - 2 * kMargin;
    const qreal widest = m_layout.WidestSeen();
    if (widest > widestBefore && !m_rangeUpdatePosted &&
        std::ceil(widest) + 1 - room > horizontalScrollBar()->maximum()) {
        // A line wider than any measured so far: widen the scroll range after this paint.
        m_rangeUpdatePosted = true;
        QTimer::singleShot(0, this, [this] {
            m_rangeUpdatePosted = false;
            m_view.UpdateScrollBars();
        });
    }
}
