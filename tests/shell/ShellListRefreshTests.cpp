// Keeping the list in step with its folder: refreshes, the change timer, the busy state, folders
// that go away or cannot be read, and volumes that come and go.

#include "shell/namespace/PTDeviceChangeHandler.h"
#include "tests/shell/ShellListFixture.h"

#include <QSignalSpy>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <set>
#if defined(__linux__)
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace shelltest;

namespace {

// Root passes every permission check. With these capabilities dropped from this thread it meets
// the checks a user meets, so that an unreadable folder is unreadable here too.
class WithoutFileAccessOverride
{
public:
    WithoutFileAccessOverride()
    {
#if defined(__linux__)
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
#endif
    }
    ~WithoutFileAccessOverride()
    {
#if defined(__linux__)
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
#endif
    }
    WithoutFileAccessOverride(const WithoutFileAccessOverride&) = delete;
    WithoutFileAccessOverride& operator=(const WithoutFileAccessOverride&) = delete;

private:
#if defined(__linux__)
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
#endif
    bool m_dropped = false;
};

bool CanRead(const fs::path& folder)
{
    DIR* handle = ::opendir(folder.c_str());
    if (handle)
        ::closedir(handle);
    return handle != nullptr;
}

} // namespace

TEST_F(ShellListTest, RefreshKeepsUnchangedItemsAndAppendsNewOnes)
{
    Files({"a.htm", "b.htm", "c.htm", "d.htm"});
    Show(dir.Path());
    TPTShListData* kept = list->GetShListData(Row("c.htm"));
    EXPECT_EQ(kept->GetSize(), "0KB");
    Select({"b.htm", "d.htm"});

    fs::remove(dir.Path() / "b.htm");
    Files({"0.htm", "e.htm"});
    list->RefreshItems();
    NameList names = Names();
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(NameList(names.begin(), names.begin() + 3), (NameList{"a.htm", "c.htm", "d.htm"}));
    EXPECT_EQ(std::set<std::string>(names.begin() + 3, names.end()),
              (std::set<std::string>{"0.htm", "e.htm"}));
    EXPECT_EQ(list->GetShListData(Row("c.htm")), kept) << "unchanged items are kept as they are";
    EXPECT_TRUE(list->IsItemSelected(Row("d.htm")));
    EXPECT_EQ(list->ShellSelCount(), 1);

    // The same through the watcher, which names what changed.
    Focus();
    fs::rename(dir.Path() / "c.htm", dir.Path() / "c2.htm");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("c2.htm") >= 0 && Row("c.htm") < 0; }, 10000));
    EXPECT_EQ(Names().back(), "c2.htm");
    EXPECT_TRUE(list->IsItemSelected(Row("d.htm")));

    // Without hidden items, a new hidden file stays out as it would from a fill.
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloShowHidden));
    Files({".hidden.htm", "visible.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("visible.htm") >= 0; }, 10000));
    EXPECT_EQ(Row(".hidden.htm"), -1);
    EXPECT_TRUE(errors.isEmpty());
}

// A split writes a thousand pages into the folder shown: each refresh adds its new files in one
// insertion, not one a file (with a screen reader on, Qt's accessible list goes over every item
// it has handed out at each insertion: a thousand insertions took seconds).
TEST_F(ShellListTest, ARefreshAddsItsNewFilesInOneInsertion)
{
    Files({"doc.htm"});
    Show(dir.Path());
    ASSERT_EQ(list->ItemCount(), 1);
    QAbstractItemModel* model = list->View()->model();
    int insertions = 0;
    int inserted = 0;
    int mostInOneRefresh = 0;
    int inThisRefresh = 0;
    QObject::connect(model, &QAbstractItemModel::rowsInserted, list.get(),
                     [&](const QModelIndex&, int first, int last) {
                         ++insertions;
                         ++inThisRefresh;
                         inserted += last - first + 1;
                     });
    QObject::connect(list.get(), &TPTCustomShellList::OnFillStart, list.get(),
                     [&] { inThisRefresh = 0; });
    QObject::connect(list.get(), &TPTCustomShellList::OnFillComplete, list.get(),
                     [&] { mostInOneRefresh = std::max(mostInOneRefresh, inThisRefresh); });
    auto pages = [&](int from, int to) {
        for (int page = from; page <= to; ++page)
            testsupport::WriteAll(
                dir.Path() /
                    QStringLiteral("doc%1.htm").arg(page, 3, 10, QChar(u'0')).toStdString(),
                "");
    };

    // A refresh that compares the whole folder.
    pages(1, 40);
    list->RefreshItems();
    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(inserted, 40);
    EXPECT_EQ(list->ItemCount(), 41);

    // The watcher's refreshes, which look at the names it reports.
    Focus();
    pages(41, 80);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->ItemCount() == 81; }, 10000));
    EXPECT_EQ(inserted, 80);
    EXPECT_EQ(mostInOneRefresh, 1);
    EXPECT_EQ(Names().back().substr(0, 3), "doc");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellListTest, ChangeNoticesWaitLongerWithoutTheFocusAndComeInBursts)
{
    Files({"a.htm"});
    Show(dir.Path());
    QList<QTimer*> timers = list->findChildren<QTimer*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    QTimer* changeTimer = timers.front();
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);

    Focus();
    PostChangeNotice();
    EXPECT_TRUE(list->ChangeRefreshPending());
    EXPECT_EQ(changeTimer->interval(), PTSH_CHANGE_NOTIFY_FASTDELAY);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    EXPECT_EQ(fills.count(), 1);

    list->View()->clearFocus();
    ASSERT_FALSE(list->View()->hasFocus());
    PostChangeNotice();
    EXPECT_EQ(changeTimer->interval(), PTSH_CHANGE_NOTIFY_DELAY);
    QTest::qWait(1000);
    EXPECT_TRUE(list->ChangeRefreshPending());
    // A further notice starts the wait again: a burst of changes gives one refresh.
    PostChangeNotice();
    EXPECT_GT(changeTimer->remainingTime(), 1500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    EXPECT_EQ(fills.count(), 2);

    // The notice of the list's own change is dropped, the next one is not.
    list->SetSkipNextNotification();
    PostChangeNotice();
    EXPECT_FALSE(list->ChangeRefreshPending());
    PostChangeNotice();
    EXPECT_TRUE(list->ChangeRefreshPending());
    // Synchronize runs the pending refresh at once.
    list->Synchronize(false);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(fills.count(), 3);
}

TEST_F(ShellListTest, OnlyARealRenameInAWatchedFolderSkipsANotice)
{
    Files({"a.htm", "b.htm"});
    Show(dir.Path());
    Focus();

    // The same name again: nothing changes on disk, so the next change is a real one.
    ASSERT_TRUE(list->RenameItem(Row("b.htm"), QStringLiteral(" b.htm ")));
    EXPECT_EQ(Names(), (NameList{"a.htm", "b.htm"}));
    Files({"c.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("c.htm") >= 0; }, 10000));

    // A rename while nothing is watched brings no notice either.
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloDynamicRefresh));
    ASSERT_TRUE(list->RenameItem(Row("a.htm"), QStringLiteral("d.htm")));
    list->SetOptions(kDefaultShellListOptions);
    Files({"e.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("e.htm") >= 0; }, 10000));
    EXPECT_NE(Row("d.htm"), -1);

    // A real rename in the watched folder is not refreshed for; the change after it is seen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    ASSERT_TRUE(list->RenameItem(Row("d.htm"), QStringLiteral("f.htm")));
    QTest::qWait(800);
    EXPECT_EQ(fills.count(), 0);
    Files({"g.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("g.htm") >= 0; }, 10000));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellListTest, ABusyListRecordsFillsAndRefreshesUntilItEnds)
{
    Files({"a.htm"});
    Show(dir.Path());
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    list->SetBusy(true);
    EXPECT_TRUE(list->Busy());
    PostChangeNotice();
    EXPECT_FALSE(list->ChangeRefreshPending()) << "notices are dropped while busy";
    Files({"new.htm"});
    list->RefreshItems();
    list->FillItems();
    EXPECT_TRUE(list->RefreshPending());
    EXPECT_EQ(fills.count(), 0);
    EXPECT_EQ(Names(), NameList{"a.htm"});

    list->SetBusy(false);
    EXPECT_FALSE(list->RefreshPending());
    EXPECT_EQ(fills.count(), 1) << "one refresh at the end";
    EXPECT_EQ(Names(), (NameList{"a.htm", "new.htm"}));
    list->SetBusy(true);
    list->SetBusy(false);
    EXPECT_EQ(fills.count(), 1) << "nothing was asked for";
}

TEST_F(ShellListTest, WatchingCanBeSwitchedOffAndOn)
{
    Files({"a.htm"});
    Show(dir.Path());
    Focus();
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloDynamicRefresh));
    Files({"unseen.htm"});
    QTest::qWait(1000);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(Row("unseen.htm"), -1);

    list->SetOptions(kDefaultShellListOptions);
    Files({"seen.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("seen.htm") >= 0; }, 10000));
    EXPECT_NE(Row("unseen.htm"), -1) << "what changed while unwatched is found too";
}

TEST_F(ShellListTest, AFolderThatGoesAwayLeavesNothingBehind)
{
    fs::create_directory(dir.Path() / "shown");
    Files({"shown/x.htm", "shown/y.htm", "top.htm"});
    Show(dir.Path() / "shown");
    Focus();
    ASSERT_EQ(list->ItemCount(), 2);
    // Moved away whole: the items still exist, but no longer where the list looks. The list
    // goes to the folder above and says so, once.
    fs::rename(dir.Path() / "shown", dir.Path() / "moved");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Folder().GetPathName() == dir.Path(); }, 10000));
    EXPECT_EQ(Names(), (NameList{"moved", "top.htm"}));
    const std::string top = dir.Path().filename().string();
    EXPECT_EQ(Messages(), "The folder \"shown\" no longer exists; showing \"" + top + "\".");

    // Deleted together with the folder above it: the nearest folder that is still there.
    fs::create_directories(dir.Path() / "second" / "third");
    Files({"second/third/z.htm"});
    Show(dir.Path() / "second" / "third");
    ASSERT_EQ(Names(), NameList{"z.htm"});
    fs::remove_all(dir.Path() / "second");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Folder().GetPathName() == dir.Path(); }, 10000));
    EXPECT_EQ(Names(), (NameList{"moved", "top.htm"}));
    EXPECT_EQ(errors.value(1).toStdString(),
              "The folder \"third\" no longer exists; showing \"" + top + "\".");

    // Told once: F5 and later notices read the folder shown now, without a word.
    QTest::keyClick(list->View(), Qt::Key_F5);
    PostChangeNotice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    EXPECT_EQ(Names(), (NameList{"moved", "top.htm"}));
    EXPECT_EQ(errors.size(), 2) << Messages();
}

TEST_F(ShellListTest, F5OnAFolderThatIsGoneShowsTheNearestOneAboveAndSaysSo)
{
    // Unwatched, the list learns it only from F5.
    list->SetOptions(list->Options() & ~PtsloFlag(ptsloDynamicRefresh));
    fs::create_directories(dir.Path() / "a" / "b");
    Files({"a/b/x.htm", "a/keep.htm"});
    Show(dir.Path() / "a" / "b");
    Focus();
    ASSERT_EQ(Names(), NameList{"x.htm"});
    fs::remove_all(dir.Path() / "a" / "b");
    QTest::keyClick(list->View(), Qt::Key_F5);
    EXPECT_EQ(list->Folder().GetPathName(), dir / "a");
    EXPECT_EQ(Names(), NameList{"keep.htm"});
    EXPECT_EQ(Messages(), R"(The folder "b" no longer exists; showing "a".)");
    QTest::keyClick(list->View(), Qt::Key_F5);
    EXPECT_EQ(Names(), NameList{"keep.htm"});
    EXPECT_EQ(errors.size(), 1);

    // A list that may not change its folder still says it plainly, and shows nothing of it.
    list->SetOptions(list->Options() | PtsloFlag(ptsloDontChangeFolder));
    fs::remove_all(dir.Path() / "a");
    QTest::keyClick(list->View(), Qt::Key_F5);
    EXPECT_EQ(list->Folder().GetPathName(), dir / "a");
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_EQ(errors.value(1).toStdString(), R"(The folder "a" no longer exists.)");
}

TEST_F(ShellListTest, AFolderThatComesBackUnderItsPathIsShownAgain)
{
    fs::create_directory(dir.Path() / "shown");
    Files({"shown/x.htm"});
    Show(dir.Path() / "shown");
    Focus();

    // Deleted and made again before the list looks: it shows the new folder where it is.
    fs::remove_all(dir.Path() / "shown");
    fs::create_directory(dir.Path() / "shown");
    Files({"shown/back.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Names() == NameList{"back.htm"}; }, 10000));
    // And it is watched as before.
    Files({"shown/more.htm"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("more.htm") >= 0; }, 10000));
    EXPECT_EQ(list->Folder().GetPathName(), dir / "shown");
    EXPECT_TRUE(errors.isEmpty());

    // Moved away, the list leaves it and hears nothing more of the moved folder.
    fs::rename(dir.Path() / "shown", dir.Path() / "moved");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Folder().GetPathName() == dir.Path(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    Files({"moved/y.htm"});
    QTest::qWait(1200);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(fills.count(), 0);
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(ShellListTest, AnUnreadableFolderShowsEmptyWithoutAMessage)
{
    fs::create_directory(dir.Path() / "locked");
    Files({"locked/inside.htm", "a.htm"});
    fs::permissions(dir.Path() / "locked", fs::perms::none);
    struct Unlock
    {
        fs::path path;
        ~Unlock() { fs::permissions(path, fs::perms::owner_all); }
    } unlock{dir.Path() / "locked"};
    WithoutFileAccessOverride asUser;
    if (CanRead(dir.Path() / "locked"))
        GTEST_SKIP() << "permission checks do not apply here";

    Show(dir.Path());
    EXPECT_NE(Row("locked"), -1);
    QSignalSpy changed(list.get(), &TPTCustomShellList::OnFolderChanged);
    QSignalSpy completed(list.get(), &TPTCustomShellList::OnFillComplete);
    DoubleClick("locked");
    EXPECT_EQ(list->Folder().GetPathName(), dir / "locked");
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(completed.count(), 1);
    EXPECT_TRUE(errors.isEmpty());
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());
    EXPECT_EQ(Names(), (NameList{"locked", "a.htm"}));

    // In columns it looks like any other folder, only empty.
    TPTShellList columns;
    columns.SetViewStyle(vsReport);
    columns.show();
    columns.Folder().SetPathName(dir / "locked");
    list->SetViewStyle(vsReport);
    auto* empty = qobject_cast<QTreeView*>(columns.View());
    auto* full = qobject_cast<QTreeView*>(list->View());
    ASSERT_TRUE(empty && full);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(empty->columnWidth(column), full->columnWidth(column)) << column;
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellListTest, APathThatIsNoFolderIsReportedOnce)
{
    Files({"a.htm"});
    fs::create_directory_symlink(dir.Path() / "gone", dir.Path() / "dangling");
    Show(dir.Path());
    Focus();
    QSignalSpy changed(list.get(), &TPTCustomShellList::OnFolderChanged);
    list->Folder().SetPathName(dir / "a.htm");
    EXPECT_EQ(errors, QStringList{QString::fromLocal8Bit(std::strerror(ENOTDIR))});
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_EQ(changed.count(), 1);

    // The folder shown before is no longer watched: its changes bring no message again.
    Files({"later.htm"});
    QTest::qWait(1000);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(errors.size(), 1);

    list->Folder().SetPathName(dir / "dangling");
    EXPECT_EQ(errors.value(1), QString::fromLocal8Bit(std::strerror(ENOENT)));
    Show(dir.Path());
    EXPECT_EQ(Names(), (NameList{"a.htm", "later.htm"}));
    EXPECT_EQ(errors.size(), 2);
}

TEST_F(ShellListTest, VolumeChangesRefillComputerOnly)
{
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    list->Folder().SetCSIDL(csidlDrives);
    ASSERT_EQ(fills.count(), 1);
    EXPECT_NE(Row("File System"), -1) << "a virtual folder shows everything, filter or not";
    EXPECT_EQ(list->GetShListData(Row("File System"))->GetSize(), "");

    TPTDeviceChangeHandler* devices = PTDeviceChangeHandler();
    devices->DeviceChange(DBT_DEVICEARRIVAL, 0, QStringLiteral("/media/stick"));
    EXPECT_EQ(fills.count(), 1) << "never inside the notice itself";
    QApplication::processEvents();
    EXPECT_EQ(fills.count(), 2);
    devices->DeviceChange(0x0007, 0); // devices changed, no volume came or went
    QApplication::processEvents();
    EXPECT_EQ(fills.count(), 2);
    devices->DeviceChange(DBT_DEVICEREMOVECOMPLETE, 0, QStringLiteral("/media/stick"));
    QApplication::processEvents();
    EXPECT_EQ(fills.count(), 3);

    Show(dir.Path());
    ASSERT_EQ(fills.count(), 4);
    devices->DeviceChange(DBT_DEVICEARRIVAL, 0, QStringLiteral("/media/stick"));
    QApplication::processEvents();
    EXPECT_EQ(fills.count(), 4);
}
