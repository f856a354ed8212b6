// The list's commands on a real folder: renaming in place, the keyboard commands with the
// clipboard, and the context menu.

#include "ShellListFixture.h"

#include <QLineEdit>
#include <QSignalSpy>

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

} // namespace
} // namespace shelltest
