// The list's commands on a real folder: renaming in place, the keyboard commands with the
// clipboard, and the context menu.

#include "ShellListFixture.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardPaths>

namespace shelltest {
namespace {

class ShellListCommandTest : public ShellListTest
{
protected:
    // Runs what the list posted to itself, and what that posted in turn.
    static void Settle()
    {
        for (int pass = 0; pass < 4; ++pass)
            QApplication::processEvents();
    }

    QLineEdit* Editor(const std::string& name) const
    {
        QAbstractItemView* view = list->View();
        return qobject_cast<QLineEdit*>(view->indexWidget(view->model()->index(Row(name), 0)));
    }

    // F2 on an item, the editor's text replaced, Enter.
    void RenameByKeyboard(const std::string& from, const QString& to)
    {
        Select({from});
        list->SetFocusedItem(Row(from));
        QTest::keyClick(list->View(), Qt::Key_F2);
        QLineEdit* editor = Editor(from);
        ASSERT_NE(editor, nullptr) << from;
        EXPECT_EQ(editor->text().toStdString(), from);
        editor->setText(to);
        QTest::keyClick(editor, Qt::Key_Return);
        Settle();
        EXPECT_FALSE(list->EditingCaption());
    }
};

TEST_F(ShellListCommandTest, F2RenamesInPlaceAndRefusesWhatWouldLoseAFile)
{
    testsupport::WriteAll(dir.Path() / "a.htm", "page a");
    testsupport::WriteAll(dir.Path() / "b.htm", "page b");
    Show(dir.Path());
    Focus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);

    RenameByKeyboard("a.htm", QStringLiteral("  c.htm "));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "c.htm"), "page a");
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "a.htm"));
    EXPECT_EQ(Names(), (NameList{"c.htm", "b.htm"}));
    EXPECT_EQ(list->GetShListData(Row("c.htm"))->GetPathNameBytes(), dir / "c.htm");
    // The watcher's notice of the rename brings no refresh.
    QTest::qWait(800);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(fills.count(), 0);
    EXPECT_TRUE(errors.isEmpty());

    // The name is taken: nothing is replaced, the caption stays, and the user is told why.
    RenameByKeyboard("c.htm", QStringLiteral("b.htm"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("already exists"))) << errors[0].toStdString();
    EXPECT_EQ(Names(), (NameList{"c.htm", "b.htm"}));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "c.htm"), "page a");
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "b.htm"), "page b");

    // A separator is refused; an empty name leaves the item as it was.
    RenameByKeyboard("c.htm", QStringLiteral("sub/d.htm"));
    ASSERT_EQ(errors.size(), 2);
    RenameByKeyboard("c.htm", QStringLiteral("   "));
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "c.htm"), "page a");

    // OnEdited has the last word on the name.
    QObject::connect(list.get(), &TPTCustomShellList::OnEdited,
                     [](TPTCustomShellList*, int, QString& text) { text += QStringLiteral("l"); });
    RenameByKeyboard("c.htm", QStringLiteral("e.htm"));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "e.html"), "page a");
    EXPECT_EQ(Names(), (NameList{"e.html", "b.htm"}));

    // A read-only list edits nothing.
    list->SetReadOnly(true);
    Select({"b.htm"});
    list->SetFocusedItem(Row("b.htm"));
    QTest::keyClick(list->View(), Qt::Key_F2);
    EXPECT_FALSE(list->EditingCaption());
    EXPECT_EQ(Editor("b.htm"), nullptr);
}

TEST_F(ShellListCommandTest, ARefreshAskedForWhileEditingRunsWhenTheEditEnds)
{
    Files({"a.htm"});
    Show(dir.Path());
    Focus();
    list->SetFocusedItem(Row("a.htm"));
    ASSERT_TRUE(list->EditItemCaption(Row("a.htm")));
    EXPECT_TRUE(list->EditingCaption());
    Files({"new.htm"});
    list->RefreshItems();
    EXPECT_TRUE(list->RefreshPending());
    EXPECT_EQ(Row("new.htm"), -1);
    QTest::keyClick(Editor("a.htm"), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("new.htm") >= 0; }, 5000));
    EXPECT_TRUE(testsupport::Exists(dir.Path() / "a.htm"));
}

TEST_F(ShellListCommandTest, KeyboardCommandsCopyCutPasteAndDeleteRealFiles)
{
    const std::string pageA(70000, 'a');
    std::string pageB;
    for (int i = 0; i < 5000; ++i)
        pageB += static_cast<char>(i % 256);
    testsupport::WriteAll(dir.Path() / "a.htm", pageA);
    testsupport::WriteAll(dir.Path() / "b.htm", pageB);
    fs::create_directories(dir.Path() / "sub");
    testsupport::WriteAll(dir.Path() / "sub" / "x.htm", pageB);
    testsupport::TempDir other;
    testsupport::WriteAll(other.Path() / "a.htm", "mine");
    Show(dir.Path());
    Focus();
    QWidget* view = list->View();

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->ShellSelCount(), 3);

    // Nothing selected: Copy is not offered and leaves the clipboard alone.
    QGuiApplication::clipboard()->setText(QStringLiteral("unrelated"));
    Select({});
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("unrelated"));

    Select({"a.htm", "b.htm"});
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    EXPECT_TRUE(clip->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
    EXPECT_EQ(clip->urls().size(), 2);

    // Paste into another folder: the file there keeps its contents, the copy gets a new name.
    Show(other.Path());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(testsupport::ReadAll(other.Path() / "a.htm"), "mine");
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "a (copy).htm") == pageA);
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "b.htm") == pageB);
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "a.htm") == pageA);
    EXPECT_GE(Row("a (copy).htm"), 0);
    EXPECT_GE(Row("b.htm"), 0);

    // Cut, then paste: the folder moves whole and the clipboard no longer offers it.
    Show(dir.Path());
    Select({"sub"});
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()
                    ->mimeData()
                    ->data("x-special/gnome-copied-files")
                    .startsWith("cut\n"));
    Show(other.Path());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "sub"));
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "sub" / "x.htm") == pageB);
    EXPECT_GE(Row("sub"), 0);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(testsupport::Exists(other.Path() / "sub (copy)"));

    // Del and Shift+Del move the selection to the trash and refresh the list.
    Select({"a.htm", "b.htm"});
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_FALSE(testsupport::Exists(other.Path() / "a.htm"));
    EXPECT_FALSE(testsupport::Exists(other.Path() / "b.htm"));
    EXPECT_EQ(list->ItemCount(), 2);
    EXPECT_GE(Row("a (copy).htm"), 0);
    Select({"a (copy).htm"});
    QTest::keyClick(view, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Names(), (NameList{"sub"}));
    fs::path trash =
        fs::path(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()) /
        "Trash" / "files";
    EXPECT_TRUE(testsupport::ReadAll(trash / "a (copy).htm") == pageA);

    // F5 reads the folder again.
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    testsupport::WriteAll(other.Path() / "new.htm", "");
    QTest::keyClick(view, Qt::Key_F5);
    EXPECT_EQ(fills.count(), 1);
    EXPECT_GE(Row("new.htm"), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
} // namespace shelltest
