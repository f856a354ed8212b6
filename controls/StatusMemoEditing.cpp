// Editing, the caret and the selection from the keyboard, the mouse and the clipboard.
#include "controls/StatusMemo.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <memory>

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
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    const QString inserted = NormalizedBreaks(text);
    if (from == to && inserted.isEmpty())
        return;
    const TMemoPos oldCaret = m_caret;
    const TMemoPos oldAnchor = m_anchor;
    const bool accessible = QAccessible::isActive();
    const qsizetype offset = accessible ? OffsetOf(from) : 0;
    const QString removed = accessible ? TextBetween(from, to) : QString();

    const QStringList pieces = inserted.split(u'\n');
    const QString tail = Line(to.Line).mid(to.Column);
    const int firstLine = from.Line;
    const auto at = m_lines.begin() + firstLine;
    m_lines[static_cast<size_t>(firstLine)].truncate(from.Column);
    m_lines[static_cast<size_t>(firstLine)] += pieces.front();
    m_lines.erase(at + 1, at + 1 + (to.Line - from.Line));
    m_lines.insert(m_lines.begin() + firstLine + 1, pieces.begin() + 1, pieces.end());
    const int lastLine = firstLine + static_cast<int>(pieces.size()) - 1;
    const int caretColumn = static_cast<int>(Line(lastLine).size());
    m_lines[static_cast<size_t>(lastLine)] += tail;
    LinesChanged(firstLine);
    m_noLines = m_lines.size() == 1 && m_lines[0].isEmpty();
    for (int line = firstLine; line <= lastLine; ++line)
        NoteLongest(line);
    m_scrollBarsStale = true;

    m_caret = m_anchor = {lastLine, caretColumn};
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
        ReplaceText(PrevChar(m_caret), m_caret, {});
}

void TStatusMemo::DeleteForward()
{
    if (HasSelection())
        DeleteSelection();
    else
        ReplaceText(m_caret, NextChar(m_caret), {});
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

// ---- Caret movement ----

TMemoPos TStatusMemo::NextChar(TMemoPos pos) const
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
    if (pos.Line + 1 < static_cast<int>(m_lines.size()))
        return {pos.Line + 1, 0};
    return pos;
}

TMemoPos TStatusMemo::PrevChar(TMemoPos pos) const
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

TMemoPos TStatusMemo::NextWord(TMemoPos pos) const
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

TMemoPos TStatusMemo::PrevWord(TMemoPos pos) const
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

TMemoPos TStatusMemo::RowStep(TMemoPos pos, int rows)
{
    int line = pos.Line;
    int row = 0;
    {
        const QTextLayout& layout = Layout(line);
        const QTextLine textRow = layout.lineForTextPosition(pos.Column);
        row = textRow.isValid() ? textRow.lineNumber() : 0;
        if (m_goalX < 0)
            m_goalX = textRow.isValid() ? textRow.cursorToX(pos.Column) : 0;
    }
    const int lastLine = static_cast<int>(m_lines.size()) - 1;
    for (; rows > 0; --rows) {
        if (row + 1 < RowsOf(line)) {
            ++row;
        } else if (line < lastLine) {
            ++line;
            row = 0;
        } else {
            // Down on the last row goes to the end of the text.
            return EndPos();
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
    return {line, target.isValid() ? target.xToCursor(m_goalX) : 0};
}

void TStatusMemo::SelectWordAt(TMemoPos pos)
{
    pos = Clamp(pos);
    const QString& text = Line(pos.Line);
    if (text.isEmpty()) {
        SetCaret(pos);
        return;
    }
    const int at = std::min(pos.Column, static_cast<int>(text.size()) - 1);
    const CharClass word = ClassOf(text.at(at));
    int start = at;
    int end = at + 1;
    while (start > 0 && ClassOf(text.at(start - 1)) == word)
        --start;
    while (end < text.size() && ClassOf(text.at(end)) == word)
        ++end;
    Select({pos.Line, start}, {pos.Line, end});
}

bool TStatusMemo::HandleMoveKey(QKeyEvent* event)
{
    using Key = QKeySequence;
    ApplyPendingScroll();
    const TMemoPos line0{m_caret.Line, 0};
    const TMemoPos lineEnd{m_caret.Line, static_cast<int>(Line(m_caret.Line).size())};
    const int page = std::max(1, static_cast<int>(ViewHeight() / RowHeight()));
    TMemoPos target;
    bool select = false;
    int rows = 0;
    if (event->matches(Key::MoveToNextChar))
        target = HasSelection() ? SelectionEnd() : NextChar(m_caret);
    else if (event->matches(Key::MoveToPreviousChar))
        target = HasSelection() ? SelectionStart() : PrevChar(m_caret);
    else if ((select = event->matches(Key::SelectNextChar)))
        target = NextChar(m_caret);
    else if ((select = event->matches(Key::SelectPreviousChar)))
        target = PrevChar(m_caret);
    else if (event->matches(Key::MoveToNextWord) || (select = event->matches(Key::SelectNextWord)))
        target = NextWord(m_caret);
    else if (event->matches(Key::MoveToPreviousWord) ||
             (select = event->matches(Key::SelectPreviousWord)))
        target = PrevWord(m_caret);
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
        target = RowStep(m_caret, rows);
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
    if (event->key() == Qt::Key_Tab && !command) {
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

bool TStatusMemo::focusNextPrevChild(bool next)
{
    // Tab is a character in an editable pane; Ctrl+Tab still leaves it.
    if (!m_readOnly)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
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
    EnsureCaretXVisible();
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
