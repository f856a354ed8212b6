#include "controls/StatusMemo.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const TMemoPos& pos, std::ostream* out)
{
    *out << "{" << pos.Line << ", " << pos.Column << "}";
}

namespace {

QStringList Numbered(int from, int count, const QString& tail = QString())
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines.append(QStringLiteral("line %1%2").arg(i).arg(tail));
    return lines;
}

// A pane on screen (offscreen), a few lines high, with the keyboard focus.
class StatusMemoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        memo.resize(320, 140);
        memo.show();
        memo.activateWindow();
        memo.setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
    }

    // Lets the pane draw its next frame, after which the scroll bar shows the view's top.
    void WaitForFrame()
    {
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return memo.verticalScrollBar()->value() == memo.FirstVisibleLine(); }));
        QTest::qWait(2 * TStatusMemo::kFrameInterval);
        QApplication::processEvents();
    }

    int LastLine() const { return memo.LineCount() - 1; }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&memo, key, modifiers);
    }

    QPoint PointOf(TMemoPos pos) const
    {
        const QRectF rect = memo.CharacterRect(pos);
        EXPECT_FALSE(rect.isEmpty()) << "not on screen";
        return QPoint(static_cast<int>(rect.left()) + 1, static_cast<int>(rect.center().y()));
    }

    TStatusMemo memo;
};

} // namespace

// ---- The text ----

TEST(StatusMemoText, AppendedLinesComeBackAsTheyWereGivenWithEmbeddedBreaksAndEmptyLines)
{
    TStatusMemo memo;
    EXPECT_EQ(memo.LineCount(), 0);
    EXPECT_EQ(memo.toPlainText(), "");

    memo.AppendLines({"one", "", "two\nthree", ""});
    EXPECT_EQ(memo.toPlainText(), "one\n\ntwo\nthree\n");
    EXPECT_EQ(memo.LineCount(), 5);
    EXPECT_EQ(memo.Line(2), "two");
    EXPECT_EQ(memo.Line(3), "three");
    EXPECT_EQ(memo.CharacterCount(), memo.toPlainText().size());

    // Later lines go below, also after a trailing empty line.
    memo.AppendLines({"four"});
    EXPECT_EQ(memo.toPlainText(), "one\n\ntwo\nthree\n\nfour");
    memo.AppendLines({});
    EXPECT_EQ(memo.LineCount(), 6);
}

TEST(StatusMemoText, AnEmptyLineAloneIsALineOfItsOwn)
{
    TStatusMemo memo;
    memo.AppendLines({""});
    EXPECT_EQ(memo.LineCount(), 1);
    memo.AppendLines({"x"});
    EXPECT_EQ(memo.toPlainText(), "\nx");
}

TEST(StatusMemoText, SetPlainTextAndClearReplaceEverythingAndPutTheCaretAtTheStart)
{
    TStatusMemo memo;
    memo.AppendLines(Numbered(0, 100));
    memo.MoveCaretToEnd();

    memo.setPlainText("kept\nsecond\n");
    EXPECT_EQ(memo.LineCount(), 3);
    EXPECT_EQ(memo.Line(0), "kept");
    EXPECT_EQ(memo.Line(2), "");
    EXPECT_EQ(memo.Caret(), (TMemoPos{0, 0}));
    EXPECT_FALSE(memo.HasSelection());

    memo.AppendLines({"new"});
    EXPECT_EQ(memo.toPlainText(), "kept\nsecond\n\nnew");

    memo.clear();
    EXPECT_EQ(memo.toPlainText(), "");
    EXPECT_EQ(memo.LineCount(), 0);
    EXPECT_EQ(memo.CharacterCount(), 0);
    memo.AppendLines({"after"});
    EXPECT_EQ(memo.toPlainText(), "after");
}

TEST(StatusMemoText, OffsetsAndPlacesAgreeWithThePlainTextAfterAppendsAndEdits)
{
    TStatusMemo memo;
    memo.AppendLines({"ab", "", "cde"});
    auto check = [&memo] {
        const QString text = memo.toPlainText();
        ASSERT_EQ(memo.CharacterCount(), text.size());
        for (qsizetype offset = 0; offset <= text.size(); ++offset) {
            const TMemoPos pos = memo.PosAt(offset);
            ASSERT_EQ(memo.OffsetOf(pos), offset);
            ASSERT_EQ(memo.TextBetween({0, 0}, pos), text.left(offset)) << offset;
        }
    };
    check();
    // Offsets asked for before and after an edit in the middle: none may be stale.
    memo.AppendLines({"fgh"});
    check();
    memo.ReplaceText({0, 1}, {0, 1}, "XY\nZ");
    EXPECT_EQ(memo.toPlainText(), "aXY\nZb\n\ncde\nfgh");
    check();
    memo.ReplaceText({1, 1}, {3, 1}, "");
    EXPECT_EQ(memo.toPlainText(), "aXY\nZde\nfgh");
    check();
}

// ---- Following the end ----

TEST_F(StatusMemoTest, TheCaretStaysAtTheEndAndTheLastLineIsWhollyInView)
{
    memo.AppendLines({"first"});
    memo.MoveCaretToEnd();
    for (int batch = 0; batch < 40; ++batch) {
        memo.AppendLines(Numbered(batch * 25, 25));
        ASSERT_TRUE(memo.CaretAtEnd());
        ASSERT_TRUE(memo.IsLineFullyVisible(LastLine())) << "batch " << batch;
        if (batch % 10 == 0)
            QApplication::processEvents();
    }
    EXPECT_EQ(memo.LineCount(), 1001);
    EXPECT_EQ(memo.Line(1000), "line 999");
    WaitForFrame();
    QScrollBar* vertical = memo.verticalScrollBar();
    EXPECT_EQ(vertical->value(), vertical->maximum());
    EXPECT_EQ(memo.LastFullyVisibleLine(), LastLine());
    // No more scrolling than needed: the line above the top would not fit as well.
    const int top = memo.FirstVisibleLine();
    ASSERT_GT(top, 0);
    const qreal shown = (LastLine() - top + 1) * memo.RowHeight();
    EXPECT_GT(shown + memo.RowHeight(), memo.viewport()->height() - 2 * TStatusMemo::kMargin);
}

TEST_F(StatusMemoTest, WrappedLongLinesAreCountedByTheirRowsSoTheLastIsShownWhole)
{
    ASSERT_TRUE(memo.WordWrap());
    const QString tail = QStringLiteral(" with words enough to wrap over several rows of the pane");
    memo.MoveCaretToEnd();
    for (int batch = 0; batch < 10; ++batch) {
        memo.AppendLines(Numbered(batch * 7, 7, tail));
        ASSERT_TRUE(memo.IsLineFullyVisible(LastLine())) << "batch " << batch;
    }
    EXPECT_GT(memo.RowsOf(LastLine()), 1);
    WaitForFrame();
    EXPECT_EQ(memo.LastFullyVisibleLine(), LastLine());
    EXPECT_EQ(memo.horizontalScrollBar()->maximum(), 0);
    // The end of the text is drawn inside the view, not under its lower edge.
    const QRectF end = memo.CharacterRect(memo.EndPos());
    ASSERT_FALSE(end.isEmpty());
    EXPECT_LE(end.bottom(), memo.viewport()->height());

    // Narrower: the rows are counted again and the end stays in view.
    memo.resize(200, 140);
    memo.AppendLines({"last"});
    WaitForFrame();
    EXPECT_TRUE(memo.IsLineFullyVisible(LastLine()));
}

TEST_F(StatusMemoTest, AppendsDoNotTakeTheViewFromAUserWhoScrolledUp)
{
    memo.MoveCaretToEnd();
    memo.AppendLines(Numbered(0, 200));
    WaitForFrame();
    const int maximumBefore = memo.verticalScrollBar()->maximum();

    memo.verticalScrollBar()->setValue(10);
    memo.AppendLines(Numbered(200, 100));
    WaitForFrame();
    EXPECT_EQ(memo.FirstVisibleLine(), 10);
    EXPECT_EQ(memo.verticalScrollBar()->value(), 10);
    EXPECT_GT(memo.verticalScrollBar()->maximum(), maximumBefore);
    // The caret was at the end and stays there.
    EXPECT_TRUE(memo.CaretAtEnd());

    // Back at the end, the view follows again.
    memo.verticalScrollBar()->setValue(memo.verticalScrollBar()->maximum());
    memo.AppendLines(Numbered(300, 50));
    EXPECT_TRUE(memo.IsLineFullyVisible(LastLine()));
}

TEST_F(StatusMemoTest, ACaretPlacedAwayFromTheEndStaysWhereItWas)
{
    memo.AppendLines(Numbered(0, 50));
    memo.SetCaret({3, 2});
    memo.AppendLines(Numbered(50, 50));
    EXPECT_EQ(memo.Caret(), (TMemoPos{3, 2}));
    EXPECT_FALSE(memo.CaretAtEnd());
}

TEST_F(StatusMemoTest, WithoutWrapALongLineGivesAHorizontalScrollBar)
{
    memo.setWordWrap(false);
    memo.AppendLines({QString(400, u'w')});
    WaitForFrame();
    EXPECT_GT(memo.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(memo.RowsOf(0), 1);
    memo.setWordWrap(true);
    EXPECT_EQ(memo.horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(memo.RowsOf(0), 1);
}

// The range follows the longest line even where it was never drawn. The first line is the
// longest of the others, so that the one measure to drop is the long line's.
TEST_F(StatusMemoTest, WithoutWrapTheScrollRangeFollowsTheLongestLineOutOfView)
{
    memo.setWordWrap(false);
    memo.AppendLines(QStringList{QStringLiteral("the first and longest short line")} +
                     Numbered(1, 49));
    WaitForFrame();
    memo.SetCaret({});
    memo.verticalScrollBar()->setValue(0);
    WaitForFrame();
    ASSERT_EQ(memo.FirstVisibleLine(), 0);
    ASSERT_EQ(memo.horizontalScrollBar()->maximum(), 0);

    memo.AppendLines({QString(400, u'w')});
    WaitForFrame();
    ASSERT_EQ(memo.FirstVisibleLine(), 0);
    EXPECT_GT(memo.horizontalScrollBar()->maximum(), 0);

    const TMemoPos endOf49{49, static_cast<int>(memo.Line(49).size())};
    memo.ReplaceText(endOf49, memo.EndPos(), {});
    WaitForFrame();
    EXPECT_EQ(memo.LineCount(), 50);
    EXPECT_EQ(memo.horizontalScrollBar()->maximum(), 0);
}

// ---- Selection, clipboard, editing ----

TEST_F(StatusMemoTest, TheSelectionIsDrawnInThePalettesHighlightColours)
{
    const QColor highlight(255, 0, 0);
    QPalette colours = memo.palette();
    colours.setColor(QPalette::Highlight, highlight);
    colours.setColor(QPalette::Inactive, QPalette::Highlight, highlight);
    memo.setPalette(colours);
    memo.setPlainText("MMMM MMMM\nMMMM");
    memo.Select({0, 5}, {1, 2});

    const QImage picture = memo.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto highlighted = [&](TMemoPos pos) {
        const QRect rect = memo.CharacterRect(pos).toAlignedRect() & picture.rect();
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                count += picture.pixelColor(x, y) == highlight ? 1 : 0;
        return count > rect.width() * rect.height() / 4;
    };
    EXPECT_FALSE(highlighted({0, 0}));
    EXPECT_FALSE(highlighted({0, 3}));
    EXPECT_TRUE(highlighted({0, 5}));
    EXPECT_TRUE(highlighted({0, 8}));
    EXPECT_TRUE(highlighted({1, 0}));
    EXPECT_TRUE(highlighted({1, 1}));
    EXPECT_FALSE(highlighted({1, 2}));
}

TEST_F(StatusMemoTest, EmptyLinesCanBeClickedSelectedAndDrawn)
{
    memo.setPlainText("\nmiddle\n\n");
    memo.selectAll();
    EXPECT_FALSE(memo.viewport()->grab().isNull());
    QTest::mouseClick(memo.viewport(), Qt::LeftButton, {}, PointOf({2, 0}));
    EXPECT_EQ(memo.Caret(), (TMemoPos{2, 0}));
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(memo.SelectedText(), "\n");
    memo.setWordWrap(false);
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(memo.Caret(), (TMemoPos{1, 0}));
    EXPECT_FALSE(memo.HasSelection());
}

TEST_F(StatusMemoTest, KeyboardSelectionAcrossLinesCopiesExactlyTheSelectedText)
{
    memo.setPlainText("alpha\nbeta\ngamma");
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_End, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(memo.SelectedText(), "pha\nbeta");
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "pha\nbeta");

    // Shift+Ctrl+End extends to the end; Ctrl+A takes everything.
    Key(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(memo.SelectedText(), "pha\nbeta\ngamma");
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), memo.toPlainText());
    // An arrow ends the selection at its edge.
    Key(Qt::Key_Left);
    EXPECT_FALSE(memo.HasSelection());
    EXPECT_EQ(memo.Caret(), (TMemoPos{0, 0}));
}

TEST_F(StatusMemoTest, MouseDragAndDoubleClickSelect)
{
    memo.setPlainText("alpha\nbeta words\ngamma");
    QWidget* view = memo.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, PointOf({0, 2}));
    QTest::mouseMove(view, PointOf({2, 3}));
    QTest::mouseRelease(view, Qt::LeftButton, {}, PointOf({2, 3}));
    EXPECT_EQ(memo.SelectedText(), "pha\nbeta words\ngam");
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "pha\nbeta words\ngam");

    QTest::mouseDClick(view, Qt::LeftButton, {}, PointOf({1, 7}));
    EXPECT_EQ(memo.SelectedText(), "words");

    // A click alone places the caret; Shift+click extends from it.
    QTest::mouseClick(view, Qt::LeftButton, {}, PointOf({0, 2}));
    EXPECT_EQ(memo.Caret(), (TMemoPos{0, 2}));
    EXPECT_FALSE(memo.HasSelection());
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, PointOf({1, 2}));
    EXPECT_EQ(memo.SelectedText(), "pha\nbe");
}

TEST_F(StatusMemoTest, TypingBackspaceDeleteAndEnterEditTheText)
{
    memo.setPlainText("alpha\nbeta");
    Key(Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&memo, "xy");
    EXPECT_EQ(memo.toPlainText(), "alpha\nbetaxy");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(memo.toPlainText(), "alpha\nbetax");

    // Backspace at a line's start joins it to the line above; Delete at an end joins below.
    Key(Qt::Key_Home);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(memo.toPlainText(), "alphabetax");
    EXPECT_EQ(memo.Caret(), (TMemoPos{0, 5}));
    Key(Qt::Key_Return);
    EXPECT_EQ(memo.toPlainText(), "alpha\nbetax");
    EXPECT_EQ(memo.Caret(), (TMemoPos{1, 0}));
    Key(Qt::Key_Delete);
    EXPECT_EQ(memo.toPlainText(), "alpha\netax");
    Key(Qt::Key_Up);
    Key(Qt::Key_End);
    Key(Qt::Key_Delete);
    EXPECT_EQ(memo.toPlainText(), "alphaetax");

    // Typing replaces a selection.
    Key(Qt::Key_Home);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClicks(&memo, "Z");
    EXPECT_EQ(memo.toPlainText(), "Zphaetax");
    EXPECT_EQ(memo.LineCount(), 1);
}

TEST_F(StatusMemoTest, CutAndPasteGoThroughTheClipboardWithAnyLineBreaks)
{
    memo.setPlainText("one two three");
    memo.Select({0, 4}, {0, 8});
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "two ");
    EXPECT_EQ(memo.toPlainText(), "one three");

    QGuiApplication::clipboard()->setText("a\r\nb\rc");
    Key(Qt::Key_End, Qt::ControlModifier);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(memo.toPlainText(), "one threea\nb\nc");
    EXPECT_TRUE(memo.CaretAtEnd());
    EXPECT_EQ(memo.LineCount(), 3);
}

TEST_F(StatusMemoTest, ReadOnlyRefusesEveryEditButSelectsAndCopies)
{
    memo.setPlainText("fixed\ntext");
    memo.setReadOnly(true);
    memo.SetCaret({0, 2});
    QGuiApplication::clipboard()->setText("pasted");
    QTest::keyClicks(&memo, "abc");
    for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return})
        Key(key);
    Key(Qt::Key_V, Qt::ControlModifier);
    memo.InsertText("direct");
    EXPECT_EQ(memo.toPlainText(), "fixed\ntext");

    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(memo.toPlainText(), "fixed\ntext");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "pasted");
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "fixed\ntext");
    EXPECT_TRUE(memo.isReadOnly());
}

TEST_F(StatusMemoTest, TheContextMenuOffersOnlyWhatCanBeDone)
{
    memo.setPlainText("some text");
    auto names = [](QMenu* menu) {
        QStringList result;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                result.append(action->objectName() + (action->isEnabled() ? "" : "(off)"));
        }
        return result;
    };
    QGuiApplication::clipboard()->setText("x");
    std::unique_ptr<QMenu> menu(memo.CreateContextMenu(nullptr));
    EXPECT_EQ(names(menu.get()), (QStringList{"edit-cut(off)", "edit-copy(off)", "edit-paste",
                                              "edit-delete(off)", "select-all"}));

    memo.Select({0, 0}, {0, 4});
    menu.reset(memo.CreateContextMenu(nullptr));
    menu->findChild<QAction*>("edit-delete")->trigger();
    EXPECT_EQ(memo.toPlainText(), " text");

    memo.setReadOnly(true);
    memo.selectAll();
    menu.reset(memo.CreateContextMenu(nullptr));
    EXPECT_EQ(names(menu.get()), (QStringList{"edit-copy", "select-all"}));
    menu->findChild<QAction*>("edit-copy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), " text");
}

TEST_F(StatusMemoTest, PageKeysMoveTheCaretAndTheViewTogether)
{
    memo.AppendLines(Numbered(0, 100));
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(memo.FirstVisibleLine(), 0);
    Key(Qt::Key_PageDown);
    const int afterOnePage = memo.Caret().Line;
    EXPECT_GT(afterOnePage, 1);
    EXPECT_TRUE(memo.IsLineFullyVisible(afterOnePage));
    EXPECT_GT(memo.FirstVisibleLine(), 0);
    Key(Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(memo.Anchor().Line, afterOnePage);
    EXPECT_GT(memo.Caret().Line, afterOnePage);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(memo.CaretAtEnd());
    EXPECT_TRUE(memo.IsLineFullyVisible(99));
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(memo.FirstVisibleLine(), 0);
}

// ---- Accessibility ----

TEST_F(StatusMemoTest, AssistiveToolsReadTheTextCaretSelectionAndName)
{
    memo.setAccessibleName("Status");
    memo.setAccessibleDescription("Here the process status is shown");
    memo.setPlainText("alpha\nbeta\ngamma");
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(&memo);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->role(), QAccessible::EditableText);
    EXPECT_EQ(item->text(QAccessible::Name), "Status");
    EXPECT_EQ(item->text(QAccessible::Description), "Here the process status is shown");
    EXPECT_TRUE(item->state().multiLine);
    EXPECT_TRUE(item->state().editable);
    EXPECT_TRUE(item->state().focusable);

    QAccessibleTextInterface* text = item->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 16);
    EXPECT_EQ(text->text(3, 9), "ha\nbet");
    memo.SetCaret({1, 2});
    EXPECT_EQ(text->cursorPosition(), 8);
    text->setCursorPosition(12);
    EXPECT_EQ(memo.Caret(), (TMemoPos{2, 1}));
    text->setSelection(0, 2, 7);
    EXPECT_EQ(memo.SelectedText(), "pha\nb");
    EXPECT_EQ(text->selectionCount(), 1);
    int start = -1;
    int end = -1;
    text->selection(0, &start, &end);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(end, 7);
    text->removeSelection(0);
    EXPECT_EQ(text->selectionCount(), 0);

    // Where a character is drawn, and which character is at a point, agree.
    const QRect rect = text->characterRect(7);
    ASSERT_FALSE(rect.isEmpty());
    EXPECT_EQ(text->offsetAtPoint(rect.topLeft() + QPoint(1, rect.height() / 2)), 7);

    QAccessibleEditableTextInterface* editable = item->editableTextInterface();
    ASSERT_NE(editable, nullptr);
    editable->insertText(6, "big ");
    EXPECT_EQ(memo.toPlainText(), "alpha\nbig beta\ngamma");
    editable->deleteText(0, 6);
    EXPECT_EQ(memo.toPlainText(), "big beta\ngamma");

    memo.setReadOnly(true);
    EXPECT_TRUE(item->state().readOnly);
    EXPECT_FALSE(item->state().editable);
    EXPECT_EQ(item->editableTextInterface(), nullptr);
    EXPECT_EQ(item->textInterface()->characterCount(), memo.CharacterCount());
}

TEST_F(StatusMemoTest, TextQueriesOnALongLogAnswerFromTheLineOffsets)
{
    QStringList lines = Numbered(0, 20000);
    memo.AppendLines(lines);
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&memo)->textInterface();
    const QString all = lines.join(u'\n');
    EXPECT_EQ(text->characterCount(), all.size());
    const int at = static_cast<int>(all.indexOf("line 12345"));
    EXPECT_EQ(text->text(at, at + 10), "line 12345");
    text->setCursorPosition(at);
    EXPECT_EQ(memo.Caret(), (TMemoPos{12345, 0}));
    text->scrollToSubstring(at, at + 10);
    EXPECT_TRUE(memo.IsLineFullyVisible(12345));
}
