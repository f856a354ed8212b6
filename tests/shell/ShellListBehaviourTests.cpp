// The file list as a user drives it: odd names, opening by mouse and keyboard, options, events,
// sorting, view styles and selection.

#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"
#include "tests/shell/ShellListFixture.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTreeView>
#include <algorithm>
#include <set>
#include <stdexcept>

using namespace shelltest;

namespace {
const std::string kUmlautFolder = "\xC3\x9C"
                                  "berblick mit Leerzeichen"; // Überblick mit Leerzeichen
const std::string kGroesse = "Gr\xC3\xB6\xC3\x9F"
                             "e \xC3\xBC"
                             "ber alles.html"; // Größe über alles.html
const std::string kEcole = "\xC3\x89"
                           "cole.htm";                        // École.htm
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC.htm"; // 日本.htm
} // namespace

TEST_F(ShellListTest, OddNamesAreShownSortedFilteredAndOpenedByTheirExactPath)
{
    fs::create_directory(dir.Path() / kUmlautFolder);
    fs::create_directory(dir.Path() / "unten");
    for (const std::string& name :
         {kGroesse, kEcole, kJapanese, std::string("two  spaces.htm"),
          std::string(".versteckt.htm"), std::string("*.htm"), std::string("[x].htm"),
          std::string("x.htm"), std::string("zebra.htm"), std::string("readme.txt")})
        testsupport::WriteAll(dir.Path() / name, "<p>" + name);
    Show(dir.Path());

    // Folders first; accented letters sort with their base letter, as a file manager shows.
    EXPECT_EQ(Names(),
              (NameList{kUmlautFolder, "unten", "*.htm", ".versteckt.htm", "[x].htm", kEcole,
                        kGroesse, "two  spaces.htm", "x.htm", "zebra.htm", kJapanese}));
    for (int i = 0; i < list->ItemCount(); ++i) {
        TPTShListData* data = list->GetShListData(i);
        std::string name = Names()[static_cast<std::size_t>(i)];
        EXPECT_EQ(data->GetFilename().toStdString(), name);
        EXPECT_EQ(data->GetPathName().toStdString(), dir / name);
        // The path leads back to the same item.
        IdListPtr parsed;
        ASSERT_EQ(ShellGetIdListFromPath(dir / name, parsed), kSOk) << name;
        EXPECT_EQ(CompareAbsIdLists(parsed.get(), data->GetAbsoluteIdList()), 0) << name;
    }

    // Brackets and stars in names are plain characters; only '*' and '?' in patterns match.
    list->SetFileFilter(QStringLiteral("[x].htm"));
    EXPECT_EQ(Names(), (NameList{kUmlautFolder, "unten", "[x].htm"}));
    list->SetFileFilter(QString::fromUtf8("\xC3\xA9*")); // é*: case-insensitive beyond ASCII
    EXPECT_EQ(Names(), (NameList{kUmlautFolder, "unten", kEcole}));
    list->SetFileFilter(QStringLiteral(";*.TXT;;"));
    EXPECT_EQ(Names(), (NameList{kUmlautFolder, "unten", "readme.txt"}));
    list->SetFileFilter(QStringLiteral("*.htm;*.html"));

    // Opening hands the exact path over; entering a folder with such a name and coming back.
    QObject::connect(list.get(), &TPTCustomShellList::OnDblClickOpen,
                     [](TPTCustomShellList*, bool& handled) { handled = false; });
    DoubleClick(kGroesse);
    EXPECT_EQ(opened, QStringList{QString::fromStdString(dir / kGroesse)});
    DoubleClick(kUmlautFolder);
    EXPECT_EQ(list->Folder().GetPathName(), dir / kUmlautFolder);
    EXPECT_EQ(list->ItemCount(), 0);
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());
    EXPECT_EQ(list->ItemCount(), 11);
}

TEST_F(ShellListTest, DoubleClickAndEnterOpenTheSameWay)
{
    fs::create_directories(dir.Path() / "sub" / "inner");
    fs::create_directories(dir.Path() / "target");
    Files({"one.htm", "two.htm", "target/inside.htm"});
    fs::create_directory_symlink(dir.Path() / "target", dir.Path() / "to target");
    fs::create_symlink(dir.Path() / "one.htm", dir.Path() / "alias.htm");
    fs::create_symlink(dir.Path() / "nowhere.htm", dir.Path() / "broken.htm");
    int requests = 0;
    QObject::connect(list.get(), &TPTCustomShellList::OnDblClickOpen,
                     [&](TPTCustomShellList* sender, bool& handled) {
                         EXPECT_EQ(sender, list.get());
                         EXPECT_FALSE(handled);
                         handled = true;
                         ++requests;
                     });

    for (bool enter : {false, true}) {
        SCOPED_TRACE(enter ? "Enter" : "double-click");
        auto open = [&](const std::string& name) {
            if (enter)
                PressEnter({name});
            else
                DoubleClick(name);
        };
        Show(dir.Path());
        open("sub");
        EXPECT_EQ(list->Folder().GetPathName(), dir / "sub");
        EXPECT_EQ(Names(), NameList{"inner"});
        EXPECT_EQ(requests, 0);

        Show(dir.Path());
        open("to target");
        EXPECT_EQ(fs::path(list->Folder().GetPathName()), fs::canonical(dir.Path() / "target"));
        EXPECT_EQ(Names(), NameList{"inside.htm"});
        EXPECT_EQ(requests, 0);

        // Files, links to files and links to nothing are the program's to open.
        Show(dir.Path());
        for (const char* file : {"one.htm", "alias.htm", "broken.htm"}) {
            open(file);
            EXPECT_EQ(requests, 1) << file;
            EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());
            requests = 0;
        }
    }
    PressEnter({"one.htm", "two.htm"});
    EXPECT_EQ(requests, 1) << "one request for the whole selection";
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellListTest, OptionsChangeWhatTheUserCanDo)
{
    EXPECT_EQ(list->Options(), 7835u);
    for (TPTShellListOption on :
         {ptsloAutoFill, ptsloNonFilesystemAncestors, ptsloDefaultKeyHandling, ptsloContextMenus,
          ptsloDynamicRefresh, ptsloOleDrag, ptsloOleDrop, ptsloFolderContextMenu, ptsloShowHidden})
        EXPECT_TRUE(list->HasOption(on)) << on;
    for (TPTShellListOption off : {ptsloDesignInteractive, ptsloDontChangeFolder,
                                   ptsloDontGoBelowBase, ptsloHideFoldersWhenLinkedToTree})
        EXPECT_FALSE(list->HasOption(off)) << off;

    fs::create_directory(dir.Path() / "sub");
    Files({"a.htm", "c.txt"});
    Show(dir.Path());
    int requests = 0;
    QObject::connect(list.get(), &TPTCustomShellList::OnDblClickOpen,
                     [&](TPTCustomShellList*, bool& handled) { handled = ++requests > 0; });

    // The folder stays put, and opening a folder is no request to open a file either.
    list->SetOptions(kDefaultShellListOptions | PtsloFlag(ptsloDontChangeFolder));
    DoubleClick("sub");
    list->GoUp(1);
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());
    EXPECT_EQ(requests, 0);

    // Without the default keys, Enter, Backspace and Ctrl+A do nothing; the mouse still works.
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloDefaultKeyHandling));
    PressEnter({"sub"});
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());
    QTest::keyClick(list->View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->ShellSelCount(), 1);
    DoubleClick("sub");
    EXPECT_EQ(list->Folder().GetPathName(), dir / "sub");

    // Without automatic filling a new filter waits for the next fill.
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloAutoFill));
    Show(dir.Path());
    list->SetFileFilter(QStringLiteral("*"));
    EXPECT_EQ(Names(), (NameList{"sub", "a.htm"}));
    list->FillItems();
    EXPECT_EQ(Names(), (NameList{"sub", "a.htm", "c.txt"}));
}

TEST_F(ShellListTest, ANewListFillsItselfOnceShownUnlessTold)
{
    for (bool autoFill : {true, false}) {
        TPTShellList fresh;
        if (!autoFill)
            fresh.SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloAutoFill));
        fresh.show();
        EXPECT_EQ(fresh.ItemCount(), 0) << "the fill comes later, from the event loop";
        QApplication::processEvents();
        // The desktop always holds Home and Computer.
        EXPECT_EQ(fresh.ItemCount() > 0, autoFill);
    }
}

TEST_F(ShellListTest, EventsAroundFillsAndRefreshes)
{
    fs::create_directory(dir.Path() / "sub");
    Files({"a.htm", "b.htm", "c.txt", "sub/x.htm", "sub/skip.htm"});
    Show(dir.Path());
    QApplication::processEvents();
    std::vector<std::string> events;
    // The handlers go before the events they record; the list outlives both.
    QObject handlers;
    TPTCustomShellList* self = list.get();
    QObject::connect(self, &TPTCustomShellList::OnFillStart, &handlers,
                     [&](TPTCustomShellList* sender) {
                         EXPECT_EQ(sender, self);
                         events.push_back("start");
                     });
    QObject::connect(self, &TPTCustomShellList::OnFillComplete, &handlers,
                     [&](TPTCustomShellList*) { events.push_back("complete"); });
    QObject::connect(self, &TPTCustomShellList::OnFolderChanged, &handlers,
                     [&](TPTCustomShellList*) { events.push_back("changed"); });
    QObject::connect(self, &TPTCustomShellList::OnDeleteItem, &handlers,
                     [&](TPTCustomShellList*, int row, TPTShListData* data) {
                         EXPECT_EQ(list->GetShListData(row), data);
                         events.push_back("delete " + data->GetDisplayName().toStdString());
                     });
    QObject::connect(
        self, &TPTCustomShellList::OnAddItem, &handlers,
        [&](TPTCustomShellList*, TShellFolder* folder, PCIdList parent, PCIdList item,
            std::uint32_t attributes, bool& allow) {
            EXPECT_EQ(folder, list->CurrentFolder().get());
            EXPECT_EQ(ShellGetPathFromIdList(parent), list->Folder().GetPathName());
            EXPECT_TRUE(attributes & sfgao::FileSystem);
            std::string name(IdListItemData(item));
            allow = name.rfind("skip", 0) != 0;
            events.push_back("add " + name);
        },
        Qt::DirectConnection);

    Show(dir.Path() / "sub");
    // The items are offered in the folder's own order.
    ASSERT_EQ(events.size(), 8u);
    std::sort(events.begin() + 4, events.begin() + 6);
    EXPECT_EQ(events,
              (std::vector<std::string>{"delete b.htm", "delete a.htm", "delete sub", "start",
                                        "add skip.htm", "add x.htm", "complete", "changed"}));
    EXPECT_EQ(Names(), NameList{"x.htm"}) << "the handler left skip.htm out";

    events.clear();
    fs::remove(dir.Path() / "sub" / "x.htm");
    Files({"sub/new.htm", "sub/skip2.htm", "sub/other.txt"});
    list->RefreshItems();
    std::multiset<std::string> seen(events.begin(), events.end());
    EXPECT_EQ(events.front(), "start");
    EXPECT_EQ(events.back(), "complete");
    // Items left out are offered again; the filter is asked before the handler; a refresh is
    // no folder change.
    EXPECT_EQ(seen, (std::multiset<std::string>{"start", "delete x.htm", "add new.htm",
                                                "add skip.htm", "add skip2.htm", "complete"}));
    EXPECT_EQ(Names(), NameList{"new.htm"});
}

TEST_F(ShellListTest, SortingByColumnsAndHeaderClicks)
{
    fs::create_directory(dir.Path() / "zdir");
    testsupport::WriteAll(dir.Path() / "big.htm", std::string(5000, 'x'));
    testsupport::WriteAll(dir.Path() / "mid.htm", std::string(1500, 'x'));
    testsupport::WriteAll(dir.Path() / "small.htm", "x");
    Show(dir.Path());
    EXPECT_EQ(list->SortColumn(), 1);
    EXPECT_EQ(Names(), (NameList{"zdir", "big.htm", "mid.htm", "small.htm"}));
    list->SetSortColumn(-1);
    EXPECT_EQ(Names(), (NameList{"small.htm", "mid.htm", "big.htm", "zdir"}));
    list->SetSortColumn(2);
    EXPECT_EQ(Names(), (NameList{"zdir", "small.htm", "mid.htm", "big.htm"}));

    // New items go last until the list is sorted again.
    Select({"mid.htm"});
    testsupport::WriteAll(dir.Path() / "tiny.htm", "");
    list->RefreshItems();
    EXPECT_EQ(Names(), (NameList{"zdir", "small.htm", "mid.htm", "big.htm", "tiny.htm"}));
    list->SortList();
    EXPECT_EQ(Names(), (NameList{"zdir", "tiny.htm", "small.htm", "mid.htm", "big.htm"}));
    EXPECT_TRUE(list->IsItemSelected(Row("mid.htm"))) << "the selection moves with its item";
    EXPECT_EQ(list->ShellSelCount(), 1);

    list->SetViewStyle(vsReport);
    auto* view = qobject_cast<QTreeView*>(list->View());
    ASSERT_NE(view, nullptr);
    QApplication::processEvents();
    QHeaderView* header = view->header();
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    auto click = [&](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    click(1); // the sort column again: the order turns round
    EXPECT_EQ(list->SortColumn(), -2);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Names(), (NameList{"big.htm", "mid.htm", "small.htm", "tiny.htm", "zdir"}));
    click(0);
    EXPECT_EQ(list->SortColumn(), 1);
    EXPECT_EQ(Names(), (NameList{"zdir", "big.htm", "mid.htm", "small.htm", "tiny.htm"}));

    // A handler that picks the sort column itself has the last word.
    QObject::connect(list.get(), &TPTCustomShellList::OnColumnClick,
                     [&](TPTCustomShellList*, int column) {
                         EXPECT_EQ(column, 1);
                         list->SetSortColumn(-4);
                     });
    click(1);
    EXPECT_EQ(list->SortColumn(), -4);
    EXPECT_EQ(header->sortIndicatorSection(), 3);
}

TEST_F(ShellListTest, ViewStylesShowTheSameItemsAndSelection)
{
    fs::create_directory(dir.Path() / "sub");
    testsupport::WriteAll(dir.Path() / "a.htm", std::string(1025, 'x'));
    Files({"file2.htm", "three words here.htm"});
    Show(dir.Path());
    Select({"file2.htm"});

    list->SetViewStyle(vsReport);
    auto* report = qobject_cast<QTreeView*>(list->View());
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(list->ColumnCaptions(), (QStringList{"Name", "Size", "Type", "Modified"}));
    QAbstractItemModel* model = report->model();
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(),
                  list->ColumnCaptions()[column]);
    auto text = [&](const std::string& name, int column) {
        return model->data(model->index(Row(name), column)).toString();
    };
    EXPECT_EQ(text("a.htm", 0), "a.htm");
    EXPECT_EQ(text("a.htm", 1), "2KB");
    EXPECT_EQ(text("sub", 1), "");
    EXPECT_EQ(text("sub", 2), "Folder");
    EXPECT_FALSE(text("a.htm", 3).isEmpty());
    EXPECT_TRUE(model->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole)
                    .value<Qt::Alignment>()
                    .testFlag(Qt::AlignRight));
    EXPECT_TRUE(report->selectionModel()->isRowSelected(Row("file2.htm"), {}));
    DoubleClick("sub");
    EXPECT_EQ(list->Folder().GetPathName(), dir / "sub");
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());

    // Large icons: every name gets the room it needs, not the first item's.
    Select({"file2.htm"});
    list->SetViewStyle(vsIcon);
    QAbstractItemView* icons = list->View();
    EXPECT_NE(icons, report);
    EXPECT_TRUE(icons->isVisible());
    EXPECT_EQ(icons->iconSize(), QSize(32, 32));
    EXPECT_TRUE(list->IsItemSelected(Row("file2.htm")));
    QApplication::processEvents();
    QFontMetrics metrics(icons->font());
    auto width = [&](const char* name) {
        return icons->visualRect(icons->model()->index(Row(name), 0)).width();
    };
    EXPECT_GE(width("file2.htm"), metrics.horizontalAdvance(QStringLiteral("file2.htm")));
    EXPECT_LT(width("a.htm"), width("three words here.htm"));

    list->SetViewStyle(vsList);
    EXPECT_EQ(list->View()->iconSize(), QSize(16, 16));
    DoubleClick("sub");
    EXPECT_EQ(list->Folder().GetPathName(), dir / "sub");
}

TEST_F(ShellListTest, MultiSelectionWithTheMouse)
{
    Files({"a.htm", "b.htm", "c.htm", "d.htm"});
    Show(dir.Path());
    std::vector<std::pair<int, bool>> events;
    QObject::connect(
        list.get(), &TPTCustomShellList::OnSelectItem,
        [&](TPTCustomShellList*, int item, bool selected) { events.emplace_back(item, selected); });
    QWidget* viewport = list->View()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, Centre("a.htm"));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, Centre("c.htm"));
    EXPECT_EQ(list->ShellSelCount(), 3);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, Centre("b.htm"));
    EXPECT_EQ(list->ShellSelCount(), 2);
    EXPECT_FALSE(list->IsItemSelected(Row("b.htm")));
    EXPECT_EQ(list->GetSelectedItem(), list->GetShListData(Row("a.htm")));
    events.clear();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, Centre("d.htm"));
    EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{
                          {Row("a.htm"), false}, {Row("c.htm"), false}, {Row("d.htm"), true}}));

    // Single selection: Shift and Ctrl+A select no more than one item.
    list->SetMultiSelect(false);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, Centre("a.htm"));
    QTest::keyClick(list->View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->ShellSelCount(), 1);
    EXPECT_EQ(list->GetSelectedItem(), list->GetShListData(Row("a.htm")));
}

TEST_F(ShellListTest, AFailingAddHandlerEndsTheFillCleanly)
{
    Files({"a.htm", "b.htm", "c.htm"});
    QAbstractItemModel* model = list->View()->model();
    QSignalSpy resetting(model, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    auto connection = QObject::connect(
        list.get(), &TPTCustomShellList::OnAddItem,
        [](TPTCustomShellList*, TShellFolder*, PCIdList, PCIdList item, std::uint32_t, bool&) {
            if (IdListItemData(item) == "b.htm")
                throw std::runtime_error("refused");
        });
    Show(dir.Path());
    EXPECT_EQ(errors, QStringList{"refused"});
    EXPECT_EQ(resetting.count(), reset.count()) << "no reset is left open";
    EXPECT_EQ(model->rowCount(), list->ItemCount());

    // The list goes on as before.
    QObject::disconnect(connection);
    list->FillItems();
    EXPECT_EQ(resetting.count(), reset.count());
    EXPECT_EQ(Names(), (NameList{"a.htm", "b.htm", "c.htm"}));
    EXPECT_EQ(model->rowCount(), 3);
    DoubleClick("c.htm");
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(ShellListTest, DestroyingTheListAnnouncesEveryItem)
{
    fs::create_directory(dir.Path() / "sub");
    Files({"a.htm", "b.htm"});
    Show(dir.Path());
    Select({"a.htm"});
    std::set<std::string> deleted;
    QObject::connect(list.get(), &TPTCustomShellList::OnDeleteItem,
                     [&](TPTCustomShellList* sender, int row, TPTShListData* data) {
                         ASSERT_NE(data, nullptr);
                         EXPECT_EQ(sender->GetShListData(row), data);
                         deleted.insert(data->GetDisplayName().toStdString());
                     });
    list.reset();
    EXPECT_EQ(deleted, (std::set<std::string>{"sub", "a.htm", "b.htm"}));
}
