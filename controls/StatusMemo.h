#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <compare>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QMenu;
class QTextLayout;
class QTimer;

// A place in the text: a line and a character of it (0 .. its length).
struct TMemoPos
{
    int Line = 0;
    int Column = 0;
    auto operator<=>(const TMemoPos&) const = default;
};

// A plain text pane made for logs: the text is a list of lines, so appending tens of thousands
// of lines costs little more than storing them. Only the lines on screen are laid out (and
// wrapped); the vertical scroll bar counts lines. The text stays editable unless read-only.
// While lines pour in, the pane is redrawn and its scroll bars set once a frame at most;
// FirstVisibleLine() and the other view queries answer for the view as it will be drawn.
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
    int LineCount() const;
    const QString& Line(int index) const { return m_lines[static_cast<size_t>(index)]; }
    // Characters of toPlainText(), without building it.
    qsizetype CharacterCount() const;
    // The text between two places, as toPlainText() holds it.
    QString TextBetween(TMemoPos from, TMemoPos to) const;

    // ---- Offsets into toPlainText() ----
    qsizetype OffsetOf(TMemoPos pos) const;
    TMemoPos PosAt(qsizetype offset) const;

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
    TMemoPos EndPos() const;

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
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool wrap);
    // Scrolls so that the caret's line is wholly in view (the last line, after MoveCaretToEnd).
    void EnsureCaretVisible();
    // Scrolls as little as needed to show a whole line (its top when it is taller than the view).
    void EnsureLineVisible(int line);
    // The line at the top of the view.
    int FirstVisibleLine() const;
    // The last line wholly in view; -1 when none is.
    int LastFullyVisibleLine() const;
    bool IsLineFullyVisible(int line) const;
    // Where a character is drawn, in viewport coordinates; empty when off screen.
    QRectF CharacterRect(TMemoPos pos) const;
    // The place nearest to a point of the viewport.
    TMemoPos PosAtPoint(QPointF point) const;
    // Rows a line takes at the current width.
    int RowsOf(int line) const;
    qreal RowHeight() const;

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
    // Storage and offsets.
    void ReplaceRange(TMemoPos from, TMemoPos to, const QString& text);
    void LinesChanged(int fromLine);
    void ExtendOffsets(int line) const;
    TMemoPos Clamp(TMemoPos pos) const;
    void NoteLongest(int line);
    void NotifyCaret(TMemoPos oldCaret, TMemoPos oldAnchor);
    void NotifyTextInserted(qsizetype offset, const QString& text);
    void NotifyTextRemoved(qsizetype offset, const QString& text);

    // Layout and scrolling.
    const QTextLayout& Layout(int line) const;
    int EstimatedRows(int line) const;
    // The rows of a line as last laid out at this width (1 without wrap), 0 when not known.
    int KnownRows(int line) const;
    qreal WrapWidth() const;
    qreal ViewHeight() const;
    int MaxTopLine(bool exact) const;
    bool ShowingEnd() const;
    // Whether line is wholly in view with top at the top of the view.
    bool FitsBelow(int top, int line, bool exact) const;
    // The top line that shows line, scrolling as little as possible from fromTop.
    int TopShowing(int line, int fromTop, bool exact) const;
    void UpdateScrollBars();
    void ApplyPendingScroll();
    void ScheduleFrame();
    void OnFrame();
    void ForgetLayouts();
    void TrimLayouts() const;
    void CheckWidth() const;
    qreal WidestLine() const;
    // Top of a visible line in viewport coordinates; none when it is not on screen.
    std::optional<qreal> LineTop(int line) const;

    // Caret movement and editing from the keyboard and mouse.
    bool HandleMoveKey(QKeyEvent* event);
    bool HandleEditKey(QKeyEvent* event);
    TMemoPos NextChar(TMemoPos pos) const;
    TMemoPos PrevChar(TMemoPos pos) const;
    TMemoPos NextWord(TMemoPos pos) const;
    TMemoPos PrevWord(TMemoPos pos) const;
    TMemoPos RowStep(TMemoPos pos, int rows);
    void SelectWordAt(TMemoPos pos);
    void RestartBlink();
    void OnBlink();
    void EnsureCaretXVisible();

    // Our own changes of the scroll bars, which are no scrolling by the user.
    class ScrollGuard
    {
    public:
        explicit ScrollGuard(TStatusMemo& memo) : m_memo(memo), m_was(memo.m_adjustingScroll)
        {
            m_memo.m_adjustingScroll = true;
        }
        ~ScrollGuard() { m_memo.m_adjustingScroll = m_was; }
        ScrollGuard(const ScrollGuard&) = delete;
        ScrollGuard& operator=(const ScrollGuard&) = delete;

    private:
        TStatusMemo& m_memo;
        bool m_was;
    };

    // Never empty: a text without lines is one empty line with m_noLines set, so that an
    // appended empty line still counts.
    std::vector<QString> m_lines;
    bool m_noLines = true;
    // Offset of each line's first character; valid for the first entries only, grown on demand.
    mutable std::vector<qsizetype> m_lineStart;
    // Rows of each line at m_rowWidth; 0: not measured. Entries past the end are unknown.
    mutable std::vector<int> m_rows;
    mutable qreal m_rowWidth = -1;
    mutable std::unordered_map<int, std::unique_ptr<QTextLayout>> m_layouts;
    // The longest line in characters, and its width once measured.
    int m_longestLine = 0;
    mutable qreal m_longestWidth = -1;
    mutable qreal m_widestSeen = 0;
    mutable bool m_rangeUpdatePosted = false;
    mutable qreal m_rowHeight = -1;
    mutable qreal m_averageCharWidth = 1;

    TMemoPos m_caret;
    TMemoPos m_anchor;
    // The caret's x for moves up and down; negative: take it from the caret.
    qreal m_goalX = -1;
    bool m_readOnly = false;
    bool m_wordWrap = true;
    bool m_caretShown = true;
    bool m_dragging = false;
    QTimer* m_blinkTimer = nullptr;

    // A line to bring into view at the next frame, and the top line the view had before.
    int m_pendingLine = -1;
    int m_pendingFromTop = 0;
    bool m_scrollBarsStale = false;
    bool m_adjustingScroll = false;
    QTimer* m_frameTimer = nullptr;
    QElapsedTimer m_sinceFrame;
};
