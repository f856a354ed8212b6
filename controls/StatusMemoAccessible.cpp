#include "controls/StatusMemoAccessible.h"

#include "controls/StatusMemo.h"

#include <QAccessibleWidget>
#include <QScrollBar>

namespace {

// Offsets are characters of toPlainText(); the pane answers them from its line offsets
// without building the whole text.
class TStatusMemoAccessible : public QAccessibleWidget,
                              public QAccessibleTextInterface,
                              public QAccessibleEditableTextInterface
{
public:
    explicit TStatusMemoAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::EditableText)
    {
    }

    TStatusMemo* Memo() const { return static_cast<TStatusMemo*>(widget()); }

    QAccessible::State state() const override
    {
        QAccessible::State result = QAccessibleWidget::state();
        result.multiLine = true;
        result.selectableText = true;
        result.readOnly = Memo()->isReadOnly();
        result.editable = !Memo()->isReadOnly();
        return result;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return Memo()->toPlainText();
        return QAccessibleWidget::text(kind);
    }

    void setText(QAccessible::Text kind, const QString& text) override
    {
        if (kind == QAccessible::Value && !Memo()->isReadOnly())
            Memo()->setPlainText(text);
        else
            QAccessibleWidget::setText(kind, text);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface && !Memo()->isReadOnly())
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // ---- QAccessibleTextInterface ----

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && Memo()->HasSelection()) {
            *startOffset = Offset(Memo()->SelectionStart());
            *endOffset = Offset(Memo()->SelectionEnd());
        }
    }

    int selectionCount() const override { return Memo()->HasSelection() ? 1 : 0; }

    // The pane has one selection: adding one replaces it.
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }

    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            Memo()->SetCaret(Memo()->Caret());
    }

    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            Memo()->Select(Memo()->PosAt(startOffset), Memo()->PosAt(endOffset));
    }

    int cursorPosition() const override { return Offset(Memo()->Caret()); }

    void setCursorPosition(int position) override { Memo()->SetCaret(Memo()->PosAt(position)); }

    QString text(int startOffset, int endOffset) const override
    {
        return Memo()->TextBetween(Memo()->PosAt(startOffset), Memo()->PosAt(endOffset));
    }

    int characterCount() const override { return static_cast<int>(Memo()->CharacterCount()); }

    QRect characterRect(int offset) const override
    {
        const QRectF rect = Memo()->CharacterRect(Memo()->PosAt(offset));
        if (rect.isEmpty())
            return {};
        const QRect local = rect.toAlignedRect();
        return QRect(Memo()->viewport()->mapToGlobal(local.topLeft()), local.size());
    }

    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint local = Memo()->viewport()->mapFromGlobal(point);
        if (!Memo()->viewport()->rect().contains(local))
            return -1;
        return Offset(Memo()->PosAtPoint(local));
    }

    void scrollToSubstring(int startIndex, int endIndex) override
    {
        const TMemoPos end = Memo()->PosAt(endIndex);
        const TMemoPos start = Memo()->PosAt(startIndex);
        // The end first, then the start: a substring longer than the view shows its beginning.
        Memo()->EnsureLineVisible(end.Line);
        Memo()->EnsureLineVisible(start.Line);
    }

    // Plain text: one run of default attributes over the whole text.
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        (void)offset;
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    // ---- QAccessibleEditableTextInterface ----

    void deleteText(int startOffset, int endOffset) override
    {
        Memo()->ReplaceText(Memo()->PosAt(startOffset), Memo()->PosAt(endOffset), {});
    }

    void insertText(int offset, const QString& text) override
    {
        const TMemoPos at = Memo()->PosAt(offset);
        Memo()->ReplaceText(at, at, text);
    }

    void replaceText(int startOffset, int endOffset, const QString& text) override
    {
        Memo()->ReplaceText(Memo()->PosAt(startOffset), Memo()->PosAt(endOffset), text);
    }

private:
    int Offset(TMemoPos pos) const { return static_cast<int>(Memo()->OffsetOf(pos)); }
};

QAccessibleInterface* StatusMemoFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TStatusMemo") && object && object->isWidgetType())
        return new TStatusMemoAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void InstallStatusMemoAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(&StatusMemoFactory);
        return true;
    }();
    (void)installed;
}
