// The keyboard, the mouse, focus and caret blinking, input methods.
#include "controls/StatusMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <memory>

namespace {

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
