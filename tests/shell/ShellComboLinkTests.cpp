#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTShellCombo.h"
#include "shell/widgets/PTShellList.h"
#include "tests/shell/ShellComboFixture.h"
#include "ui_ShellComboForm.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace combotest;

namespace {

// A folder combo and a file list side by side; each counts its fills.
class ShellComboLinkTest : public ShellComboTest
{
protected:
    void SetUp() override
    {
        ShellComboTest::SetUp();
        MakeFolders("a/b/c");
        list = std::make_unique<TPTShellList>();
        list->resize(400, 300);
        list->SetViewStyle(vsList);
        list->show();
        QObject::connect(list.get(), &TPTCustomShellList::OnFillStart,
                         [this](TPTCustomShellList*) { ++listFills; });
        QObject::connect(
            list.get(), &TPTCustomShellList::OnError,
            [this](TPTCustomShellList*, const QString& message) { listErrors << message; });
        QApplication::processEvents();
    }

    void TearDown() override
    {
        list.reset();
        ShellComboTest::TearDown();
    }

    void Link()
    {
        combo->SetShellList(list.get());
        fills = 0;
        listFills = 0;
    }

    int ListRow(const QString& caption) const
    {
        for (int i = 0; i < list->ItemCount(); ++i) {
            if (list->ItemCaption(i) == caption)
                return i;
        }
        return -1;
    }

    void DoubleClickInList(const QString& caption)
    {
        int row = ListRow(caption);
        ASSERT_GE(row, 0) << caption.toStdString();
        QAbstractItemView* view = list->View();
        QApplication::processEvents();
        QPoint point = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, point);
    }

    // Both show the folder, each after exactly one fill.
    void ExpectBothShow(PCIdList folder)
    {
        EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), folder));
        EXPECT_TRUE(SameIdList(list->Folder().GetIdList(), folder));
        EXPECT_TRUE(
            SameIdList(combo->GetShComboData(combo->ItemIndex())->AbsoluteIdList(), folder));
        EXPECT_EQ(fills, 1);
        EXPECT_EQ(listFills, 1);
        fills = 0;
        listFills = 0;
    }

    std::unique_ptr<TPTShellList> list;
    int listFills = 0;
    QStringList listErrors;
};

} // namespace

TEST_F(ShellComboLinkTest, LinkingTakesTheListsFolder)
{
    IdListPtr a = HomeIdList({"a"});
    list->Folder().SetIdList(a.get());
    fills = 0;
    listFills = 0;
    combo->SetShellList(list.get());
    EXPECT_EQ(list->LinkedCombo(), combo.get());
    EXPECT_EQ(combo->ShellList(), list.get());
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), a.get()));
    EXPECT_EQ(NameOf(combo->ItemIndex()), "a");
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(listFills, 0);

    // A second combo takes the list over; the first goes on alone.
    TPTShellCombo other;
    other.SetShellList(list.get());
    EXPECT_EQ(list->LinkedCombo(), &other);
    EXPECT_EQ(combo->ShellList(), nullptr);
    other.SetShellList(nullptr);
    EXPECT_EQ(list->LinkedCombo(), nullptr);
}

TEST_F(ShellComboLinkTest, ComboMovesTheList)
{
    Link();
    IdListPtr b = HomeIdList({"a", "b"});
    combo->SelectedFolder().SetIdList(b.get());
    ExpectBothShow(b.get());
    EXPECT_NE(ListRow("c"), -1);

    // Choosing an entry.
    Choose(IndexOf("Home"));
    IdListPtr home = HomeIdList({});
    ExpectBothShow(home.get());
    EXPECT_NE(ListRow("a"), -1);

    // The selected entry again: nothing moves.
    Choose(combo->ItemIndex());
    EXPECT_EQ(fills, 0);
    EXPECT_EQ(listFills, 0);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(listErrors.isEmpty());
}

TEST_F(ShellComboLinkTest, ListMovesTheCombo)
{
    Link();
    IdListPtr a = HomeIdList({"a"});
    list->Folder().SetIdList(a.get());
    ExpectBothShow(a.get());

    // Entering a folder by double-click.
    DoubleClickInList("b");
    IdListPtr b = HomeIdList({"a", "b"});
    ExpectBothShow(b.get());
    EXPECT_EQ(combo->currentText(), "b");
    EXPECT_EQ(combo->Item(combo->ItemIndex())->Indent(), 3);

    // Going up in the list goes through the combo.
    list->GoUp(1);
    ExpectBothShow(a.get());
    list->GoUp(5);
    ExpectBothShow(nullptr);
    EXPECT_EQ(combo->ItemIndex(), 0);

    // Going up on the desktop: nothing.
    list->GoUp(1);
    EXPECT_EQ(fills, 0);
    EXPECT_EQ(listFills, 0);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(listErrors.isEmpty());
}

TEST_F(ShellComboLinkTest, EitherCanGoFirst)
{
    Link();
    combo.reset();
    EXPECT_EQ(list->LinkedCombo(), nullptr);
    // The list goes on alone.
    IdListPtr a = HomeIdList({"a"});
    list->Folder().SetIdList(a.get());
    list->GoUp(1);
    IdListPtr home = HomeIdList({});
    EXPECT_TRUE(SameIdList(list->Folder().GetIdList(), home.get()));

    combo = std::make_unique<TPTShellCombo>();
    combo->show();
    combo->SetShellList(list.get());
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), home.get()));
    list.reset();
    EXPECT_EQ(combo->ShellList(), nullptr);
    // And the combo alone.
    combo->SelectedFolder().SetIdList(a.get());
    EXPECT_EQ(NameOf(combo->ItemIndex()), "a");
}

TEST_F(ShellComboLinkTest, ShownLaterFillsOnceAndAgreesWithTheList)
{
    auto late = std::make_unique<TPTShellCombo>();
    int lateFills = 0;
    QObject::connect(late->model(), &QAbstractItemModel::modelReset, [&] { ++lateFills; });
    IdListPtr b = HomeIdList({"a", "b"});
    list->Folder().SetIdList(b.get());
    late->SetShellList(list.get());
    // No window yet: nothing is filled, but the folder is known.
    EXPECT_EQ(late->ItemCount(), 0);
    EXPECT_TRUE(SameIdList(late->SelectedFolder().GetIdList(), b.get()));
    listFills = 0;
    late->show();
    QApplication::processEvents();
    EXPECT_EQ(lateFills, 1);
    EXPECT_EQ(NameOf(0), "Desktop");
    EXPECT_EQ(late->currentText(), "b");
    EXPECT_EQ(listFills, 0);
}

TEST_F(ShellComboLinkTest, AFolderThatGoesAwayTakesBothToTheNearestOneAbove)
{
    Link();
    IdListPtr c = HomeIdList({"a", "b", "c"});
    list->Folder().SetIdList(c.get());
    ExpectBothShow(c.get());
    ASSERT_EQ(combo->currentText(), "c");

    // Deleted from outside with the folder above it.
    fs::remove_all(Home() / "a" / "b");
    IdListPtr a = HomeIdList({"a"});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return SameIdList(list->Folder().GetIdList(), a.get()); }, 10000));
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), a.get()));
    EXPECT_EQ(combo->currentText(), "a");
    EXPECT_EQ(combo->Item(combo->ItemIndex())->Indent(), 2);
    EXPECT_EQ(IndexOf("b"), -1);
    EXPECT_EQ(IndexOf("c"), -1);
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_EQ(listErrors.join(QLatin1Char('\n')).toStdString(),
              R"(The folder "c" no longer exists; showing "a".)");

    // F5 in the list reads the folder shown, with nothing more to say.
    QTest::keyClick(list->View(), Qt::Key_F5);
    EXPECT_EQ(combo->currentText(), "a");
    EXPECT_EQ(listErrors.size(), 1);
    EXPECT_TRUE(errors.isEmpty());
}

TEST(ShellComboForm, PromotedInAForm)
{
    QWidget form;
    Ui::ShellComboForm ui;
    ui.setupUi(&form);
    TPTShellCombo* combo = ui.PTShellCombo1;
    EXPECT_EQ(combo->toolTip(), "Select your disk drive here");
    EXPECT_EQ(combo->statusTip(), "Select your disk drive here");
    EXPECT_EQ(combo->IndentPixels(), 16);
    EXPECT_EQ(combo->Options(), kDefaultShellComboOptions);
    EXPECT_TRUE(combo->AutoDropDownCount());
    combo->SetShellList(ui.PTShellList1);
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(combo->currentText(), "Desktop");

    // What a screen reader reads: the folder shown, known without drawing the entry.
    EXPECT_EQ(combo->accessibleName(), "Folder");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(combo);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Value), "Desktop");
}
