// Editing, the clipboard, the context menu, and moving by characters, words and rows.
#include "controls/StatusMemo.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTextLayout>

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
