#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTShellCombo.h"
#include "shell/widgets/ShellIcons.h"
#include "tests/common/TestSupport.h"
#include "tests/shell/ShellComboFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace combotest;

namespace {
const EntryList kDesktopTop = {{"Desktop", 0}, {"Home", 1}};
const EntryList kComputer = {{"Computer", 1}};
} // namespace

TEST_F(ShellComboTest, DesktopSelected)
{
    // The fill that showing the combo asks for.
    ASSERT_GT(combo->ItemCount(), 0);
    EXPECT_EQ(Entries(), Joined({kDesktopTop, kComputer, Volumes()}));
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->Item(0)->Caption(), "Desktop");
    EXPECT_EQ(combo->Item(0)->ImageIndex(), ShellGetIconIndex(nullptr, shgfi::SmallIcon));
    EXPECT_EQ(combo->currentText(), "Desktop");
    EXPECT_EQ(combo->SelectedFolder().GetIdList(), nullptr);
    EXPECT_TRUE(errors.isEmpty());

    // Refilling on the desktop gives the same entries.
    combo->FillItems();
    EXPECT_EQ(Entries(), Joined({kDesktopTop, kComputer, Volumes()}));
    EXPECT_EQ(combo->ItemIndex(), 0);
}

TEST_F(ShellComboTest, VolumeSelectedUnderComputer)
{
    EntryList volumes = Volumes();
    ASSERT_FALSE(volumes.empty());
    IdListPtr root;
    ASSERT_TRUE(Succeeded(ShellGetIdListFromPath("/", root)));
    Select(root.get());

    EXPECT_EQ(Entries(), Joined({kDesktopTop, kComputer, volumes}));
    int selected = combo->ItemIndex();
    ASSERT_EQ(selected, IndexOf("File System"));
    EXPECT_EQ(combo->Item(selected)->Indent(), 2);
    EXPECT_EQ(combo->Item(selected)->Caption(), "File System");
    EXPECT_TRUE(SameIdList(combo->GetShComboData(selected)->AbsoluteIdList(), root.get()));
    // Nothing is listed below the volume.
    if (selected + 1 < combo->ItemCount()) {
        EXPECT_EQ(combo->Item(selected + 1)->Indent(), 2);
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellComboTest, DeepPathBelowHome)
{
    MakeFolders("a/b/c");
    MakeFolders("z/y");
    IdListPtr deep = HomeIdList({"a", "b", "c"});
    Select(deep.get());

    // The chain below Home with rising indents; Home's other folders are not listed.
    EntryList chain = {{"a", 2}, {"b", 3}, {"c", 4}};
    EXPECT_EQ(Entries(), Joined({kDesktopTop, chain, kComputer, Volumes()}));
    int selected = combo->ItemIndex();
    ASSERT_EQ(selected, IndexOf("c"));
    TPTImageComboItem* item = combo->Item(selected);
    EXPECT_EQ(item->Caption(), "c");
    EXPECT_EQ(item->ImageIndex(),
              ShellGetIconIndex(deep.get(), shgfi::SmallIcon | shgfi::OpenIcon));
    EXPECT_NE(item->ImageIndex(), ShellGetIconIndex(deep.get(), shgfi::SmallIcon));
    EXPECT_TRUE(SameIdList(combo->GetShComboData(selected)->AbsoluteIdList(), deep.get()));
    EXPECT_EQ(combo->GetShComboData(selected)->GetThisIShf()->FileSystemPath(),
              (Home() / "a/b/c").string());

    // Each entry's data knows where it lies.
    TPTShComboData* b = combo->GetShComboData(IndexOf("b"));
    IdListPtr homeA = HomeIdList({"a"});
    EXPECT_TRUE(SameIdList(b->ParentIdList(), homeA.get()));
    EXPECT_EQ(IdListItemData(b->RelativeIdList()), "b");
}

TEST_F(ShellComboTest, PathThroughAVolume)
{
    testsupport::TempDir dir;
    fs::create_directories(dir.Path() / "x" / "y");
    combo->SelectedFolder().SetPathName((dir.Path() / "x" / "y").string());
    IdListPtr expected;
    ASSERT_TRUE(Succeeded(ShellGetIdListFromPath((dir.Path() / "x" / "y").string(), expected)));

    int selected = combo->ItemIndex();
    ASSERT_GT(selected, 0);
    EXPECT_EQ(combo->Item(selected)->Caption(), "y");
    EXPECT_TRUE(SameIdList(combo->GetShComboData(selected)->AbsoluteIdList(), expected.get()));
    // From the volume down, one level deeper each step.
    int depth = IdListCount(expected.get());
    EXPECT_EQ(combo->Item(selected)->Indent(), depth);
    for (int i = selected, indent = depth; indent >= 2; --i, --indent)
        EXPECT_EQ(combo->Item(i)->Indent(), indent) << NameOf(i);
    EXPECT_EQ(NameOf(selected - 1), "x");
    EXPECT_EQ(NameOf(selected - depth + 2), "File System");
}

TEST_F(ShellComboTest, GoUp)
{
    MakeFolders("a/b/c");
    IdListPtr deep = HomeIdList({"a", "b", "c"});
    Select(deep.get());

    combo->GoUp(1);
    IdListPtr b = HomeIdList({"a", "b"});
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), b.get()));
    EXPECT_EQ(NameOf(combo->ItemIndex()), "b");
    EXPECT_EQ(combo->Item(combo->ItemIndex())->Caption(), "b");
    EXPECT_EQ(Entries(), Joined({kDesktopTop, {{"a", 2}, {"b", 3}}, kComputer, Volumes()}));

    combo->GoUp(2);
    EXPECT_EQ(NameOf(combo->ItemIndex()), "Home");

    // More levels than there are: the desktop.
    Select(deep.get());
    combo->GoUp(10);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->SelectedFolder().GetIdList(), nullptr);

    // On the desktop nothing happens.
    fills = 0;
    combo->GoUp(1);
    EXPECT_EQ(fills, 0);
    EXPECT_EQ(combo->ItemIndex(), 0);

    // From a volume, Computer.
    IdListPtr root;
    ASSERT_TRUE(Succeeded(ShellGetIdListFromPath("/", root)));
    Select(root.get());
    combo->GoUp(1);
    EXPECT_EQ(NameOf(combo->ItemIndex()), "Computer");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellComboTest, ChoosingEntries)
{
    MakeFolders("a/b");
    IdListPtr deep = HomeIdList({"a", "b"});
    Select(deep.get());
    fills = 0;

    // The entry already selected: accepted, but nothing changes and nothing is refilled.
    Choose(combo->ItemIndex());
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.contains("CloseUp"); }, 5000));
    EXPECT_EQ(events, QStringList({"SelEndOk", "CloseUp"}));
    EXPECT_EQ(fills, 0);
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), deep.get()));

    // Another entry: the folder changes once the choice is accepted, and the combo refills.
    events.clear();
    QStringList atChange;
    QObject::connect(combo.get(), &TPTCustomCombobox::OnSelEndOk, [&](TPTCustomCombobox*) {
        atChange << QString::number(IdListCount(combo->SelectedFolder().GetIdList()));
    });
    Choose(IndexOf("Home"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.contains("CloseUp"); }, 5000));
    EXPECT_EQ(events, QStringList({"SelEndOk", "CloseUp"}));
    // SelEndOk came while the old folder (Home/a/b, three items) was still selected.
    EXPECT_EQ(atChange, QStringList({"3"}));
    IdListPtr home = HomeIdList({});
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), home.get()));
    EXPECT_EQ(NameOf(combo->ItemIndex()), "Home");
    EXPECT_EQ(fills, 1);

    // Closing the list without a choice.
    events.clear();
    fills = 0;
    combo->showPopup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(combo->view()->window()));
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.contains("CloseUp"); }, 5000));
    EXPECT_EQ(events, QStringList({"SelEndCancel", "CloseUp"}));
    EXPECT_EQ(fills, 0);
}

TEST_F(ShellComboTest, HiddenFoldersOnThePath)
{
    // Below Home the path itself gives the entries, so a hidden folder on it is listed.
    MakeFolders(".hidden/x");
    IdListPtr hidden = HomeIdList({".hidden", "x"});
    Select(hidden.get());
    EXPECT_EQ(Entries(), Joined({kDesktopTop, {{".hidden", 2}, {"x", 3}}, kComputer, Volumes()}));
    EXPECT_EQ(NameOf(combo->ItemIndex()), "x");

    // Directly on the desktop only what the desktop lists is traced: the desktop is selected.
    MakeFolders("Desktop/Visible");
    MakeFolders("Desktop/.secret/y");
    IdListPtr secret = MakeIdList({".secret", "y"});
    Select(secret.get());
    EXPECT_EQ(Entries(), Joined({kDesktopTop, kComputer, Volumes(), {{"Visible", 1}}}));
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), secret.get()));

    // Going up from there still reaches the parent folder, one level at a time.
    combo->GoUp(1);
    IdListPtr secretOnly = MakeIdList({".secret"});
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), secretOnly.get()));
    combo->GoUp(1);
    EXPECT_EQ(combo->SelectedFolder().GetIdList(), nullptr);

    // A visible desktop folder is traced like any other.
    IdListPtr visible = MakeIdList({"Visible"});
    Select(visible.get());
    EXPECT_EQ(NameOf(combo->ItemIndex()), "Visible");
    EXPECT_EQ(combo->Item(combo->ItemIndex())->Indent(), 1);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellComboTest, CaptionsAndIconsOnlyWhenDrawn)
{
    MakeFolders("a/b/c");
    combo->SetAutoDropDownCount(false);
    combo->SetDropDownCount(3);
    IdListPtr deep = HomeIdList({"a", "b", "c"});
    Select(deep.get());
    combo->grab();

    // Only the desktop entry and the selected folder have theirs: they were added with them.
    std::set<std::string> fetched;
    for (int i = 0; i < combo->ItemCount(); ++i) {
        if (Fetched(i))
            fetched.insert(NameOf(i));
    }
    EXPECT_EQ(fetched, (std::set<std::string>{"Desktop", "c"}));
    EXPECT_EQ(combo->currentText(), "c");

    // Opening the list draws the entries that can be seen, and only those.
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    view->viewport()->grab();
    int shown = 0;
    for (int i = 0; i < combo->ItemCount(); ++i) {
        QRect rect = view->visualRect(view->model()->index(i, 0));
        bool visible = view->viewport()->rect().intersects(rect);
        if (visible) {
            ++shown;
            EXPECT_TRUE(Fetched(i)) << NameOf(i);
            EXPECT_EQ(combo->Item(i)->Caption().toStdString(), NameOf(i));
            EXPECT_NE(combo->Item(i)->ImageIndex(), -1) << NameOf(i);
        } else if (NameOf(i) != "Desktop" && NameOf(i) != "c") {
            EXPECT_FALSE(Fetched(i)) << NameOf(i);
        }
    }
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, combo->ItemCount());
    combo->hidePopup();
}

TEST_F(ShellComboTest, DrawingAtTheIndent)
{
    MakeFolders("a/b/c");
    IdListPtr deep = HomeIdList({"a", "b", "c"});
    Select(deep.get());
    int selected = combo->ItemIndex();
    ASSERT_EQ(combo->Item(selected)->Indent(), 4);

    // Leftmost column that is not the background colour.
    auto firstInk = [&](bool inField, bool highlighted, QImage* out = nullptr) {
        QImage image(320, combo->ItemHeight(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            combo->DrawItem(painter, image.rect(), selected, highlighted, inField);
        }
        QRgb background = combo->palette().color(QPalette::Base).rgba();
        if (out)
            *out = image;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(x, y) != background)
                    return x;
            }
        }
        return -1;
    };
    int indented = firstInk(false, false);
    EXPECT_GE(indented, 2 + 12 * 4);
    EXPECT_LT(indented, 2 + 12 * 4 + 16);
    // The closed combo's field draws every entry at indent 0.
    int inField = firstInk(true, false);
    EXPECT_GE(inField, 2);
    EXPECT_LT(inField, 2 + 16);

    // A highlighted entry: the caption's box in the highlight colour.
    QImage image;
    firstInk(false, true, &image);
    int boxLeft = 12 * 4 + 16 + 4 + 1;
    EXPECT_EQ(image.pixel(boxLeft, 1), combo->palette().color(QPalette::Highlight).rgba());
    EXPECT_NE(image.pixel(boxLeft - 2, 1), combo->palette().color(QPalette::Highlight).rgba());

    combo->SetIndentPixels(20);
    indented = firstInk(false, false);
    EXPECT_GE(indented, 2 + 20 * 4);
}

TEST_F(ShellComboTest, FolderThatCannotBeReached)
{
    MakeFolders("a/b/c");
    IdListPtr deep = HomeIdList({"a", "b", "c"});
    Select(deep.get());
    EntryList before = Entries();

    // b goes away: the fill stops at it, the entries so far stay, the error is reported once.
    fs::remove_all(Home() / "a" / "b");
    fills = 0;
    IdListPtr a = HomeIdList({"a"});
    Select(a.get());
    Select(deep.get());
    EntryList upToB = Joined({kDesktopTop, {{"a", 2}, {"b", 3}}});
    EXPECT_EQ(Entries(), upToB);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].toStdString(), ShellErrorMessage(kEFileNotFound));
    EXPECT_EQ(fills, 2);

    // Called directly, the fill throws with the same message.
    try {
        combo->FillItems();
        ADD_FAILURE() << "no error";
    } catch (const TPTShellError& error) {
        EXPECT_EQ(std::string(error.what()), ShellErrorMessage(kEFileNotFound));
    }
    EXPECT_EQ(Entries(), upToB);
    EXPECT_EQ(errors.size(), 1);
    // Going up still works, by the folder's own id list. Nothing lies below b now, so nothing
    // has to be bound to it (the list reports a folder it cannot show).
    EXPECT_EQ(combo->ItemIndex(), -1);
    combo->GoUp(1);
    IdListPtr b = HomeIdList({"a", "b"});
    EXPECT_TRUE(SameIdList(combo->SelectedFolder().GetIdList(), b.get()));
    EXPECT_EQ(combo->ItemIndex(), IndexOf("b"));
    EXPECT_EQ(Entries(), Joined({upToB, kComputer, Volumes()}));
    EXPECT_EQ(errors.size(), 1);

    // A file where a folder was: it cannot be bound to either.
    testsupport::WriteAll(Home() / "a" / "b", "");
    errors.clear();
    Select(deep.get());
    EXPECT_EQ(Entries(), upToB);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].toStdString(), ShellErrorMessage(kEPathNotFound));

    // Once the folder is back, all is well again.
    fs::remove(Home() / "a" / "b");
    fs::create_directories(Home() / "a" / "b" / "c");
    errors.clear();
    combo->FillItems();
    EXPECT_EQ(Entries(), before);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellComboTest, DeleteItemForEveryEntry)
{
    MakeFolders("a");
    IdListPtr a = HomeIdList({"a"});
    Select(a.get());
    int count = combo->ItemCount();
    ASSERT_GT(count, 3);

    std::set<TPTImageComboItem*> deleted;
    int withData = 0;
    TPTCustomCombobox* self = combo.get();
    QObject::connect(combo.get(), &TPTCustomCombobox::OnDeleteItem,
                     [&](TPTCustomCombobox* sender, TPTImageComboItem* item) {
                         EXPECT_EQ(sender, self);
                         deleted.insert(item);
                         // Still whole when the event comes.
                         if (dynamic_cast<TPTShComboData*>(item->Data()))
                             ++withData;
                     });
    combo->FillItems();
    EXPECT_EQ(static_cast<int>(deleted.size()), count);
    EXPECT_EQ(withData, count);

    // And when the combo goes.
    deleted.clear();
    withData = 0;
    count = combo->ItemCount();
    delete combo.release();
    EXPECT_EQ(static_cast<int>(deleted.size()), count);
    EXPECT_EQ(withData, count);
}

TEST_F(ShellComboTest, DropDownHeight)
{
    combo->move(0, 0);
    combo->showPopup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(combo->view()->window()));
    // Down to the bottom of the screen: more than the fixed count.
    EXPECT_GT(combo->maxVisibleItems(), combo->DropDownCount());
    combo->hidePopup();

    combo->SetAutoDropDownCount(false);
    combo->showPopup();
    EXPECT_EQ(combo->maxVisibleItems(), 8);
    combo->hidePopup();
}

// A folder whose comparison sorts again.
class SortingFolder : public TShellFolder
{
public:
    HResult EnumObjects(std::uint32_t, std::unique_ptr<TShellEnumIdList>&) override
    {
        return kENotImpl;
    }
    HResult BindToObject(PCIdList, std::shared_ptr<TShellFolder>&) override { return kENotImpl; }
    HResult CompareIDs(int, PCIdList a, PCIdList b) override
    {
        if (nested) {
            std::vector<PCIdList> again = {a, b};
            SortPidls(*this, again);
        }
        return MakeCompareResult(CompareIdListBytes(a, b));
    }
    HResult GetAttributesOf(std::span<const PCIdList>, std::uint32_t&) override
    {
        return kENotImpl;
    }
    HResult GetDisplayNameOf(PCIdList, std::uint32_t, std::string&) override { return kENotImpl; }
    HResult ParseDisplayName(const std::string&, IdListPtr&) override { return kENotImpl; }
    HResult SetNameOf(PCIdList, const std::string&, std::uint32_t, IdListPtr*) override
    {
        return kENotImpl;
    }
    PCIdList AbsoluteIdList() const override { return nullptr; }
    std::string FileSystemPath() const override { return {}; }
    bool nested = false;
};

TEST(ShellComboSort, NestedSortIsRefused)
{
    SortingFolder folder;
    IdListPtr x = MakeSingleIdList("x");
    IdListPtr y = MakeSingleIdList("y");
    std::vector<PCIdList> items = {y.get(), x.get()};
    SortPidls(folder, items);
    EXPECT_EQ(items, (std::vector<PCIdList>{x.get(), y.get()}));

    folder.nested = true;
    items = {y.get(), x.get()};
    try {
        SortPidls(folder, items);
        ADD_FAILURE() << "no error";
    } catch (const TPTShellError& error) {
        EXPECT_STREQ(error.what(), "Recursive call to SortPidls");
    }

    // The slot is free again afterwards.
    folder.nested = false;
    items = {y.get(), x.get()};
    SortPidls(folder, items);
    EXPECT_EQ(items, (std::vector<PCIdList>{x.get(), y.get()}));
}
