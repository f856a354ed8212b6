#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTShellList.h"
#include "tests/common/TestSupport.h"
#include "tests/shell/ShellListFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace shelltest;

TEST_F(ShellListTest, FilterShowsFoldersAndMatchingFiles)
{
    fs::create_directory(dir.Path() / "sub");
    for (const char* name : {"a.htm", "B.HTML", "c.txt", " d.htm"})
        testsupport::WriteAll(dir.Path() / name, "");
    Show(dir.Path());
    EXPECT_EQ(Names(), (NameList{"sub", " d.htm", "a.htm", "B.HTML"}));

    // A token with a leading blank is used with its blank.
    list->SetFileFilter(QStringLiteral(" d.htm; *.txt"));
    EXPECT_EQ(Names(), (NameList{"sub", " d.htm"}));

    for (const char* all : {"*", "*.*", ""}) {
        list->SetFileFilter(QString::fromLatin1(all));
        EXPECT_EQ(Names(), (NameList{"sub", " d.htm", "a.htm", "B.HTML", "c.txt"})) << all;
    }

    // The desktop's virtual items pass any filter.
    list->SetFileFilter(QStringLiteral("*.htm"));
    list->Folder().Clear();
    EXPECT_NE(Row("Home"), -1);
    EXPECT_NE(Row("Computer"), -1);
}

TEST_F(ShellListTest, SizeTextsAndWhatTheSplitBatchReads)
{
    fs::create_directory(dir.Path() / "folder.htm");
    testsupport::WriteAll(dir.Path() / "empty.htm", "");
    testsupport::WriteAll(dir.Path() / "small.htm", std::string(1025, 'x'));
    testsupport::WriteAll(dir.Path() / "large.htm", std::string(1263616, 'x'));
    Show(dir.Path());
    ASSERT_EQ(list->ItemCount(), 4);
    EXPECT_EQ(list->GetShListData(Row("empty.htm"))->GetSize(), "0KB");
    EXPECT_EQ(list->GetShListData(Row("small.htm"))->GetSize(), "2KB");
    EXPECT_EQ(list->GetShListData(Row("large.htm"))->GetSize(), "1,234KB");
    EXPECT_EQ(list->GetShListData(Row("folder.htm"))->GetSize(), "");
    EXPECT_FALSE(list->GetShListData(Row("small.htm"))->GetModified().isEmpty());
    EXPECT_FALSE(list->GetShListData(Row("small.htm"))->GetFileType().isEmpty());
    EXPECT_EQ(list->GetShListData(Row("small.htm"))->GetColText(1), "2KB");

    // A link reads as its target; a link to nothing has no size, in the column or for the
    // split batch.
    fs::create_symlink(dir.Path() / "small.htm", dir.Path() / "alias.htm");
    fs::create_symlink(dir.Path() / "gone.htm", dir.Path() / "broken.htm");
    list->RefreshItems();
    EXPECT_EQ(list->GetShListData(Row("alias.htm"))->GetSize(), "2KB");
    EXPECT_EQ(list->GetShListData(Row("broken.htm"))->GetSize(), "");
    EXPECT_EQ(list->GetShListData(Row("broken.htm"))->GetColText(1), "");
    EXPECT_FALSE(list->GetShListData(Row("broken.htm"))->GetModified().isEmpty());

    // The split batch: selected items with a size text, by full path.
    Select({"folder.htm", "small.htm"});
    EXPECT_EQ(list->ShellSelCount(), 2);
    QStringList picked;
    for (int i = 0; i < list->ItemCount(); ++i) {
        if (list->IsItemSelected(i) && !list->GetShListData(i)->GetSize().isEmpty())
            picked << list->GetShListData(i)->GetPathName();
    }
    EXPECT_EQ(picked, QStringList{QString::fromStdString(dir / "small.htm")});
}

TEST_F(ShellListTest, OnlyRegularFilesHaveASize)
{
    testsupport::WriteAll(dir.Path() / "real.htm", "<p>");
    ASSERT_EQ(::mkfifo((dir / "a.html").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir.Path() / "b.htm");
    fs::create_symlink(dir.Path() / "a.html", dir.Path() / "to fifo.htm");
    fs::create_symlink(dir.Path() / "real.htm", dir.Path() / "to real.htm");
    fs::create_directory(dir.Path() / "folder.htm");
    int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = dir / "socket.htm";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(socketFd);
    Show(dir.Path());
    ASSERT_EQ(list->ItemCount(), 7);

    std::map<std::string, std::string> sizes;
    for (int i = 0; i < list->ItemCount(); ++i) {
        TPTShListData* data = list->GetShListData(i);
        sizes[list->ItemCaption(i).toStdString()] = data->GetSize().toStdString();
        EXPECT_EQ(data->GetColText(1), data->GetSize()) << "the column says the same";
        EXPECT_FALSE(data->GetModified().isEmpty());
    }
    EXPECT_EQ(sizes, (std::map<std::string, std::string>{{"a.html", ""},
                                                         {"b.htm", ""},
                                                         {"folder.htm", ""},
                                                         {"real.htm", "1KB"},
                                                         {"socket.htm", ""},
                                                         {"to fifo.htm", ""},
                                                         {"to real.htm", "1KB"}}));

    // Selecting everything, the split batch takes exactly the regular files; reading what it
    // takes never blocks.
    list->SelectAll();
    std::vector<std::string> picked;
    for (int i = 0; i < list->ItemCount(); ++i) {
        TPTShListData* data = list->GetShListData(i);
        if (list->IsItemSelected(i) && !data->GetSize().isEmpty())
            picked.push_back(data->GetPathNameBytes());
    }
    std::sort(picked.begin(), picked.end());
    EXPECT_EQ(picked, (std::vector<std::string>{dir / "real.htm", dir / "to real.htm"}));
    for (const std::string& path : picked)
        EXPECT_EQ(testsupport::ReadAll(path), "<p>");
}

TEST_F(ShellListTest, ANameThatIsNoValidTextKeepsItsExactPath)
{
    // Byte 0xFF never occurs in UTF-8: the name can be shown only with a replacement.
    const std::string name = "bad\xFF name.htm";
    testsupport::WriteAll(dir.Path() / name, "<p>odd");
    Files({"good.htm"});
    Show(dir.Path());
    ASSERT_EQ(list->ItemCount(), 2);
    int row = Row("good.htm") == 0 ? 1 : 0;
    TPTShListData* data = list->GetShListData(row);
    EXPECT_EQ(data->GetPathNameBytes(), dir / name);
    EXPECT_TRUE(list->ItemCaption(row).endsWith(QStringLiteral(" name.htm")));
    // What the split batch reads opens the file itself.
    EXPECT_EQ(data->GetSize(), "1KB");
    EXPECT_EQ(testsupport::ReadAll(data->GetPathNameBytes()), "<p>odd");
    IdListPtr parsed;
    ASSERT_EQ(ShellGetIdListFromPath(data->GetPathNameBytes(), parsed), kSOk);
    EXPECT_EQ(CompareAbsIdLists(parsed.get(), data->GetAbsoluteIdList()), 0);

    // Opening hands the same bytes over.
    QObject::connect(list.get(), &TPTCustomShellList::OnDblClickOpen,
                     [](TPTCustomShellList*, bool& handled) { handled = false; });
    Select({list->ItemCaption(row).toStdString()});
    QTest::keyClick(list->View(), Qt::Key_Return);
    EXPECT_EQ(openedPaths, std::vector<std::string>{dir / name});

    // A folder of such a name is entered and left by its exact path.
    const std::string folder = "dir\xFE";
    fs::create_directory(dir.Path() / folder);
    Files({"inside.htm"});
    fs::rename(dir.Path() / "inside.htm", dir.Path() / folder / "inside.htm");
    list->RefreshItems();
    int folderRow = -1;
    for (int i = 0; i < list->ItemCount(); ++i) {
        if (list->GetShListData(i)->GetPathNameBytes() == dir / folder)
            folderRow = i;
    }
    ASSERT_GE(folderRow, 0);
    list->OpenItem(folderRow);
    EXPECT_EQ(list->Folder().GetPathName(), dir / folder);
    EXPECT_EQ(Names(), NameList{"inside.htm"});
    EXPECT_EQ(list->GetShListData(0)->GetPathNameBytes(), dir / (folder + "/inside.htm"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellListTest, RefreshFollowsTheFolderAndKeepsSelection)
{
    for (const char* name : {"a.htm", "b.htm", "c.htm"})
        testsupport::WriteAll(dir.Path() / name, "");
    Show(dir.Path());
    Focus();
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    Select({"b.htm"});

    testsupport::WriteAll(dir.Path() / "0-new.htm", "");
    testsupport::WriteAll(dir.Path() / "ignored.txt", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("0-new.htm") >= 0; }, 10000));
    EXPECT_EQ(Names(), (NameList{"a.htm", "b.htm", "c.htm", "0-new.htm"})) << "new items go last";
    EXPECT_TRUE(list->IsItemSelected(Row("b.htm")));
    EXPECT_EQ(list->ShellSelCount(), 1);

    fs::remove(dir.Path() / "a.htm");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("a.htm") < 0; }, 10000));
    EXPECT_EQ(Names(), (NameList{"b.htm", "c.htm", "0-new.htm"}));
    EXPECT_TRUE(list->IsItemSelected(Row("b.htm")));

    // Changes the list does not hear of are found by comparing the whole folder.
    list->Synchronize(false);
    fs::rename(dir.Path() / "c.htm", dir.Path() / "d.htm");
    fs::remove(dir.Path() / "0-new.htm");
    list->RefreshItems();
    EXPECT_EQ(Names(), (NameList{"b.htm", "d.htm"}));
    EXPECT_TRUE(list->IsItemSelected(Row("b.htm")));
    QTest::qWait(600);
    EXPECT_EQ(Names(), (NameList{"b.htm", "d.htm"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));

    // A rename by the list itself brings no refresh of its own.
    int before = fills.count();
    ASSERT_TRUE(list->RenameItem(Row("d.htm"), QStringLiteral("  e.htm ")));
    EXPECT_EQ(Names(), (NameList{"b.htm", "e.htm"}));
    EXPECT_TRUE(testsupport::Exists(dir.Path() / "e.htm"));
    QTest::qWait(800);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(fills.count(), before);
    EXPECT_FALSE(list->RenameItem(Row("e.htm"), QStringLiteral("b.htm")));
    EXPECT_TRUE(testsupport::Exists(dir.Path() / "e.htm"));

    // Without the focus the list waits longer before it looks.
    list->clearFocus();
    QApplication::processEvents();
    testsupport::WriteAll(dir.Path() / "late.htm", "");
    QTest::qWait(1200);
    EXPECT_EQ(Row("late.htm"), -1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("late.htm") >= 0; }, 10000));
}

TEST_F(ShellListTest, HiddenItemsFollowTheOption)
{
    testsupport::WriteAll(dir.Path() / ".secret.htm", "");
    testsupport::WriteAll(dir.Path() / "open.htm", "");
    Show(dir.Path());
    EXPECT_EQ(Names(), (NameList{".secret.htm", "open.htm"}));
    EXPECT_TRUE(list->GetShListData(0)->AddedAttributes() & sfgao::Ghosted);
    list->SetOptions(list->Options() & ~PtsloFlag(ptsloShowHidden));
    EXPECT_EQ(Names(), (NameList{"open.htm"}));
}

TEST_F(ShellListTest, OpeningFoldersFilesAndLinks)
{
    fs::create_directories(dir.Path() / "sub" / "inner");
    fs::create_directories(dir.Path() / "elsewhere" / "target");
    testsupport::WriteAll(dir.Path() / "elsewhere" / "target" / "inside.htm", "");
    fs::create_directory_symlink(dir.Path() / "elsewhere" / "target", dir.Path() / "link");
    testsupport::WriteAll(dir.Path() / "one.htm", "");
    testsupport::WriteAll(dir.Path() / "two.htm", "");
    Show(dir.Path());
    int opens = 0;
    bool handle = true;
    QObject::connect(list.get(), &TPTCustomShellList::OnDblClickOpen,
                     [&](TPTCustomShellList*, bool& handled) {
                         ++opens;
                         handled = handle;
                     });

    DoubleClick("one.htm");
    EXPECT_EQ(opens, 1);
    Select({"one.htm", "two.htm"});
    list->OpenSelectedItems();
    EXPECT_EQ(opens, 2) << "one open request for the whole selection";
    EXPECT_TRUE(opened.isEmpty());

    // Unhandled, the default command opens the files.
    handle = false;
    Select({"one.htm", "two.htm"});
    QTest::keyClick(list->View(), Qt::Key_Return);
    EXPECT_EQ(opens, 3);
    EXPECT_EQ(opened.size(), 2);

    DoubleClick("sub");
    EXPECT_EQ(opens, 3);
    EXPECT_EQ(list->Folder().GetPathName(), dir / "sub");
    EXPECT_EQ(Names(), (NameList{"inner"}));
    Select({"inner"});
    QTest::keyClick(list->View(), Qt::Key_Return);
    EXPECT_EQ(list->Folder().GetPathName(), dir / "sub/inner");
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    QTest::keyClick(list->View(), Qt::Key_Backspace);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());

    DoubleClick("link");
    EXPECT_EQ(opens, 3);
    EXPECT_EQ(fs::path(list->Folder().GetPathName()),
              fs::canonical(dir.Path() / "elsewhere" / "target"));
    EXPECT_EQ(Names(), (NameList{"inside.htm"}));
}

TEST_F(ShellListTest, GoUpStopsAtTheDesktop)
{
    fs::create_directory(dir.Path() / "sub");
    Show(dir.Path() / "sub");
    QSignalSpy changes(list.get(), &TPTCustomShellList::OnFolderChanged);
    list->GoUp(1);
    EXPECT_EQ(list->Folder().GetPathName(), dir.Path().string());
    EXPECT_NE(Row("sub"), -1);
    EXPECT_EQ(changes.count(), 1);
    list->GoUp(100);
    EXPECT_EQ(list->Folder().GetIdList(), nullptr);
    EXPECT_NE(Row("Computer"), -1);
    list->GoUp(1);
    EXPECT_EQ(list->Folder().GetIdList(), nullptr);
    EXPECT_EQ(changes.count(), 2);

    // No levels, or fewer than none, is no way up.
    Show(dir.Path() / "sub");
    changes.clear();
    for (int levels : {0, -1, -100}) {
        list->GoUp(levels);
        EXPECT_EQ(list->Folder().GetPathName(), dir / "sub") << levels;
    }
    EXPECT_EQ(changes.count(), 0);

    // A folder that cannot be parsed shows the desktop without a message.
    Show(dir.Path() / "sub");
    Show(dir.Path() / "no such folder");
    EXPECT_EQ(list->Folder().GetIdList(), nullptr);
    EXPECT_NE(Row("Home"), -1);
}

TEST_F(ShellListTest, SelectionEventsAndSelectAll)
{
    for (const char* name : {"a.htm", "b.htm", "c.htm"})
        testsupport::WriteAll(dir.Path() / name, "");
    Show(dir.Path());
    std::vector<std::pair<int, bool>> events;
    QObject::connect(
        list.get(), &TPTCustomShellList::OnSelectItem,
        [&](TPTCustomShellList*, int item, bool selected) { events.emplace_back(item, selected); });
    QTest::keyClick(list->View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->ShellSelCount(), 3);
    EXPECT_EQ(events.size(), 3u);
    events.clear();
    list->FillItems();
    EXPECT_EQ(events.size(), 3u) << "a fill clears the selection item by item";
    for (const auto& [item, selected] : events)
        EXPECT_FALSE(selected);
    EXPECT_EQ(list->GetSelectedItem(), nullptr);
}
