#pragma once

#include "controls/MemoLayout.h"
#include "controls/MemoText.h"
#include "controls/MemoView.h"

#include <QAbstractScrollArea>
#include <QString>
#include <QStringList>
#include <algorithm>

class QMenu;
class QTimer;

// A plain text pane made for logs: the text is a list of lines (TMemoText), so appending tens of
// thousands of lines costs little more than storing them. Only the lines on screen are laid out
// and wrapped (TMemoLayout); the vertical scroll bar counts lines. The text stays editable unless
// read-only. While lines pour in, the pane is redrawn and its scroll bars set once a frame at
// most (TMemoView); FirstVisibleLine() and the other view queries answer for the view as it
// will be drawn.
class TStatusMemo : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool wordWrap READ WordWrap WRITE setWordWrap)
    Q_PROPERTY(QString plainText READ toPlainText WRITE setPlainText USER true)

public:
    // Room between the frame and the text, as a plain text edit leaves it.
    static constexpr int kMargin = 4;
    // Milliseconds between two redraws while lines pour in (about the screen's refresh).
    static constexpr qint64 kFrameInterval = 16;

    explicit TStatusMemo(QWidget* parent = nullptr);
    ~TStatusMemo() override;

    // ---- The text ----
    // Each element is one line at the end of the text; an element holding '\n' is several.
    void AppendLines(const QStringList& lines);
    QString toPlainText() const;
    // Replaces the text; the caret goes to its start.
    void setPlainText(const QString& text);
    void clear();
    // Lines of the text; a cleared pane has none, one holding an empty line has one.
    int LineCount() const { return m_text.LineCount(); }
    const QString& Line(int index) const { return m_text.Line(index); }
    // Characters of toPlainText(), without building it.
    qsizetype CharacterCount() const { return m_text.CharacterCount(); }
    // The text between two places, as toPlainText() holds it.
    QString TextBetween(TMemoPos from, TMemoPos to) const { return m_text.TextBetween(from, to); }

    // ---- Offsets into toPlainText() ----
    qsizetype OffsetOf(TMemoPos pos) const { return m_text.OffsetOf(pos); }
    TMemoPos PosAt(qsizetype offset) const { return m_text.PosAt(offset); }

    // ---- Caret and selection ----
    TMemoPos Caret() const { return m_caret; }
    TMemoPos Anchor() const { return m_anchor; }
    // Moves the caret; keepAnchor extends the selection, otherwise it goes.
    void SetCaret(TMemoPos pos, bool keepAnchor = false);
    void Select(TMemoPos anchor, TMemoPos caret);
    void MoveCaretToEnd();
    bool CaretAtEnd() const { return m_caret == EndPos(); }
    bool HasSelection() const { return m_caret != m_anchor; }
    TMemoPos SelectionStart() const { return std::min(m_caret, m_anchor); }
    TMemoPos SelectionEnd() const { return std::max(m_caret, m_anchor); }
    QString SelectedText() const;
    TMemoPos EndPos() const { return m_text.EndPos(); }

    // ---- Editing (refused when read-only) ----
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Replaces the text between two places; the caret goes after the new text.
    void ReplaceText(TMemoPos from, TMemoPos to, const QString& text);
    // Replaces the selection with text at the caret.
    void InsertText(const QString& text);
    void DeleteSelection();
    void Backspace();
    void DeleteForward();
    void copy() const;
    void cut();
    void paste();
    void selectAll();
    // Copy and Select All, with Cut, Paste and Delete when the text is editable.
    QMenu* CreateContextMenu(QWidget* parent);

    // ---- View ----
    bool WordWrap() const { return m_layout.WordWrap(); }
    void setWordWrap(bool wrap);
    // Scrolls so that the caret's line is wholly in view (the last line, after MoveCaretToEnd).
    void EnsureCaretVisible();
    // Scrolls as little as needed to show a whole line (its top when it is taller than the view).
    void EnsureLineVisible(int line) { m_view.EnsureLineVisible(line); }
    // The line at the top of the view.
    int FirstVisibleLine() const { return m_view.FirstVisibleLine(); }
    // The last line wholly in view; -1 when none is.
    int LastFullyVisibleLine() const { return m_view.LastFullyVisibleLine(); }
    bool IsLineFullyVisible(int line) const { return m_view.IsLineFullyVisible(line); }
    // Where a character is drawn, in viewport coordinates; empty when off screen.
    QRectF CharacterRect(TMemoPos pos) const { return m_view.CharacterRect(pos); }
    // The place nearest to a point of the viewport.
    TMemoPos PosAtPoint(QPointF point) const { return m_view.PosAtPoint(point); }
    // Rows a line takes at the current width.
    int RowsOf(int line) const { return m_layout.RowsOf(line); }
    qreal RowHeight() const { return m_layout.RowHeight(); }

signals:
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    void ReplaceRange(TMemoPos from, TMemoPos to, const QString& text);
    void NotifyCaret(TMemoPos oldCaret, TMemoPos oldAnchor);
    void NotifyTextInserted(qsizetype offset, const QString& text);
    void NotifyTextRemoved(qsizetype offset, const QString& text);

    // Caret movement and editing from the keyboard and mouse.
    bool HandleMoveKey(QKeyEvent* event);
    bool HandleEditKey(QKeyEvent* event);
    void SelectWordAt(TMemoPos pos);
    void RestartBlink();
    void OnBlink();

    TMemoText m_text;
    // A cache, filled as the view is drawn and measured.
    mutable TMemoLayout m_layout{m_text, *this, kMargin};
    TMemoView m_view{m_text, m_layout, *this, kMargin, kFrameInterval};
    // A wider scroll range found while painting is set after the paint.
    bool m_rangeUpdatePosted = false;

    TMemoPos m_caret;
    TMemoPos m_anchor;
    // The caret's x for moves up and down; negative: take it from the caret.
    qreal m_goalX = -1;
    bool m_readOnly = false;
    bool m_caretShown = true;
    bool m_dragging = false;
    QTimer* m_blinkTimer = nullptr;
};
