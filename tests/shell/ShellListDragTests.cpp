// Dragging items out of the list and dropping files on it, on real folders: drops are real drag
// events sent to the list's viewport with the file URIs a file manager sends.

#include "ShellListFixture.h"

#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStandardPaths>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

namespace shelltest {
namespace {

constexpr Qt::DropActions kAll = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

struct Answer
{
    bool accepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// Files as a file manager drags them: text/uri-list only.
std::unique_ptr<QMimeData> FileUrls(const std::vector<fs::path>& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const fs::path& path : paths)
        urls << QUrl::fromLocalFile(QString::fromStdString(path.string()));
    data->setUrls(urls);
    return data;
}

std::string Bytes(std::size_t size, int seed)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i)
        bytes += static_cast<char>((i * 7 + static_cast<std::size_t>(seed)) % 256);
    return bytes;
}

class ShellListDragTest : public ShellListTest
{
protected:
    QWidget* Viewport() const { return list->View()->viewport(); }

    // Empty space of the viewport, clear of the items and the scrolling edges.
    QPoint Empty() const { return QPoint(Viewport()->width() / 2, Viewport()->height() / 2); }

    Answer Enter(const QMimeData* data, QPoint at, Qt::KeyboardModifiers keys = {},
                 Qt::DropActions offered = kAll)
    {
        QDragEnterEvent event(at, offered, data, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(Viewport(), &event);
        return {event.isAccepted(), event.dropAction()};
    }

    Answer Move(const QMimeData* data, QPoint at, Qt::KeyboardModifiers keys = {},
                Qt::DropActions offered = kAll)
    {
        QDragMoveEvent event(at, offered, data, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(Viewport(), &event);
        return {event.isAccepted(), event.dropAction()};
    }

    Answer Drop(const QMimeData* data, QPoint at, Qt::KeyboardModifiers keys = {},
                Qt::DropActions offered = kAll)
    {
        QDropEvent event(at, offered, data, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(Viewport(), &event);
        WaitForFileJobs();
        return {event.isAccepted(), event.dropAction()};
    }

    void Leave()
    {
        QDragLeaveEvent event;
        QCoreApplication::sendEvent(Viewport(), &event);
    }

    // A whole drag: it enters at the point, moves there and drops.
    Answer DropAt(const QMimeData* data, QPoint at, Qt::KeyboardModifiers keys = {},
                  Qt::DropActions offered = kAll)
    {
        Enter(data, at, keys, offered);
        Move(data, at, keys, offered);
        return Drop(data, at, keys, offered);
    }

    // Starts a drag of the item with the mouse as a user does; runner stands for the drag
    // loop and says where the items were dropped.
    Qt::DropAction DragWithMouse(const std::string& name,
                                 std::function<Qt::DropAction(QDrag&, Qt::DropActions)> runner)
    {
        Qt::DropAction result = Qt::IgnoreAction;
        int runs = 0;
        list->SetDragRunner([&](QDrag& drag, Qt::DropActions actions) {
            ++runs;
            result = runner(drag, actions);
            return result;
        });
        QPoint from = Centre(name);
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, from);
        // A drag is a run of moves: the view takes the first for the start of a drag.
        QTest::mouseMove(Viewport(), from + QPoint(2, 1));
        QTest::mouseMove(Viewport(), from + QPoint(QApplication::startDragDistance() + 8, 3));
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, from);
        list->SetDragRunner(nullptr);
        EXPECT_EQ(runs, 1) << "dragging " << name;
        return result;
    }

    static bool IsLink(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }

    testsupport::TempDir other;
};

TEST_F(ShellListDragTest, FilesDroppedOnAFolderItemGoIntoItWithTheKeysAction)
{
    fs::create_directory(dir.Path() / "sub");
    Files({"here.htm"});
    const std::string pageA = Bytes(90000, 1), pageB = Bytes(5000, 2), pageC = Bytes(300, 3);
    testsupport::WriteAll(other.Path() / "a.htm", pageA);
    testsupport::WriteAll(other.Path() / "b.htm", pageB);
    testsupport::WriteAll(other.Path() / "c.htm", pageC);
    testsupport::WriteAll(other.Path() / "d.htm", "d");
    Show(dir.Path());
    QPoint sub = Centre("sub");

    // No key, the same file system: the file moves, byte for byte. The source is told Copy, as
    // the move is the list's own and happens after the drop.
    auto a = FileUrls({other.Path() / "a.htm"});
    Answer enter = Enter(a.get(), sub);
    EXPECT_TRUE(enter.accepted);
    EXPECT_EQ(enter.action, Qt::MoveAction);
    EXPECT_EQ(list->DropHighlightItem(), Row("sub"));
    Answer drop = Drop(a.get(), sub);
    EXPECT_TRUE(drop.accepted);
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_FALSE(testsupport::Exists(other.Path() / "a.htm"));
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "sub" / "a.htm") == pageA);
    EXPECT_EQ(list->DropHighlightItem(), -1);

    // Ctrl copies, Shift moves, Ctrl+Shift links.
    auto b = FileUrls({other.Path() / "b.htm"});
    drop = DropAt(b.get(), sub, Qt::ControlModifier);
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "b.htm") == pageB);
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "sub" / "b.htm") == pageB);

    auto c = FileUrls({other.Path() / "c.htm"});
    drop = DropAt(c.get(), sub, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(drop.action, Qt::LinkAction);
    EXPECT_TRUE(IsLink(dir.Path() / "sub" / "c.htm"));
    EXPECT_EQ(fs::read_symlink(dir.Path() / "sub" / "c.htm"), other.Path() / "c.htm");
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "c.htm") == pageC);

    // A key asks for an action the source does not offer: nothing happens.
    auto d = FileUrls({other.Path() / "d.htm"});
    EXPECT_FALSE(Move(d.get(), sub, Qt::ShiftModifier, Qt::CopyAction).accepted);
    drop = DropAt(d.get(), sub, Qt::ShiftModifier, Qt::CopyAction);
    EXPECT_FALSE(drop.accepted);
    drop = DropAt(d.get(), sub, Qt::ControlModifier | Qt::ShiftModifier,
                  Qt::CopyAction | Qt::MoveAction);
    EXPECT_FALSE(drop.accepted);
    EXPECT_TRUE(testsupport::Exists(other.Path() / "d.htm"));
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "sub" / "d.htm"));
    // Without a key the source's own offer is taken: a copy where it only allows copies.
    drop = DropAt(d.get(), sub, {}, Qt::CopyAction);
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(other.Path() / "d.htm"), "d");
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "sub" / "d.htm"), "d");

    // The list's own items stay where they were; nothing landed beside them.
    EXPECT_EQ(Names(), (NameList{"sub", "here.htm"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListDragTest, FilesFromAFileManagerLandInTheShownFolderWithoutReplacingAnything)
{
    Files({"a.htm"});
    testsupport::WriteAll(dir.Path() / "a.htm", "mine");
    const std::string theirs = Bytes(70000, 5);
    testsupport::WriteAll(other.Path() / "a.htm", theirs);
    testsupport::WriteAll(other.Path() / "new.htm", "new");
    Show(dir.Path());

    // Onto empty space: into the list's folder, and the list shows it at once.
    auto fresh = FileUrls({other.Path() / "new.htm"});
    Answer drop = DropAt(fresh.get(), Empty());
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "new.htm"), "new");
    EXPECT_FALSE(testsupport::Exists(other.Path() / "new.htm"));
    EXPECT_GE(Row("new.htm"), 0);

    // A file item is no target: the drop goes to the list's folder, with nothing highlighted.
    // The name is taken there, so the copy gets a name of its own.
    auto clash = FileUrls({other.Path() / "a.htm"});
    Answer over = Enter(clash.get(), Centre("a.htm"), Qt::ControlModifier);
    EXPECT_EQ(over.action, Qt::CopyAction);
    EXPECT_EQ(list->DropHighlightItem(), -1);
    drop = Drop(clash.get(), Centre("a.htm"), Qt::ControlModifier);
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "a.htm"), "mine");
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "a (copy).htm") == theirs);
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "a.htm") == theirs);
    EXPECT_GE(Row("a (copy).htm"), 0);

    // A move with a taken name does not replace either.
    drop = DropAt(clash.get(), Empty());
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "a.htm"), "mine");
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "a (copy).htm") == theirs);
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "a (copy 2).htm") == theirs);
    EXPECT_FALSE(testsupport::Exists(other.Path() / "a.htm"));

    // Files dropped on the folder they are in: moving them is nothing, copying makes copies.
    auto own = FileUrls({dir.Path() / "new.htm"});
    EXPECT_FALSE(DropAt(own.get(), Empty()).accepted);
    EXPECT_EQ(DropAt(own.get(), Empty(), Qt::ControlModifier).action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "new (copy).htm"), "new");
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "new.htm"), "new");

    // What is no local file is not taken.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/page.htm"))});
    EXPECT_FALSE(Enter(&web, Empty()).accepted);
    EXPECT_FALSE(Drop(&web, Empty()).accepted);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListDragTest, TheListsOwnItemsDragToItsFoldersButNotBesideThemselves)
{
    fs::create_directory(dir.Path() / "sub");
    testsupport::WriteAll(dir.Path() / "a.htm", "page a");
    testsupport::WriteAll(dir.Path() / "b.htm", "page b");
    Show(dir.Path());
    auto before = [&] {
        NameList names;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            names.push_back(fs::relative(entry.path(), dir.Path()).string());
        std::sort(names.begin(), names.end());
        return names;
    }();

    // Onto empty space and onto another file, with any key: no effect, nothing dropped.
    Qt::DropAction result = DragWithMouse("a.htm", [&](QDrag& drag, Qt::DropActions actions) {
        EXPECT_TRUE(list->Busy());
        EXPECT_TRUE(list->DragActive());
        EXPECT_EQ(actions, kAll);
        const QMimeData* data = drag.mimeData();
        EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(
                                    QString::fromStdString((dir.Path() / "a.htm").string()))});
        EXPECT_TRUE(data->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
        EXPECT_TRUE(Enter(data, Centre("a.htm"), {}, actions).accepted)
            << "taken, so that the moves over the list come";
        for (Qt::KeyboardModifiers keys :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier),
              Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            Answer move = Move(data, Empty(), keys, actions);
            EXPECT_FALSE(move.accepted);
            EXPECT_EQ(move.action, Qt::IgnoreAction);
            EXPECT_FALSE(Move(data, Centre("b.htm"), keys, actions).accepted);
        }
        return Drop(data, Empty(), Qt::ControlModifier, actions).action;
    });
    EXPECT_EQ(result, Qt::IgnoreAction);
    EXPECT_FALSE(list->Busy());
    EXPECT_FALSE(list->DragActive());
    auto after = [&] {
        NameList names;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            names.push_back(fs::relative(entry.path(), dir.Path()).string());
        std::sort(names.begin(), names.end());
        return names;
    }();
    EXPECT_EQ(after, before);

    // A folder is refused as a target for itself.
    result = DragWithMouse("sub", [&](QDrag& drag, Qt::DropActions actions) {
        Enter(drag.mimeData(), Centre("sub"), {}, actions);
        EXPECT_EQ(list->DropHighlightItem(), -1);
        return Drop(drag.mimeData(), Centre("sub"), {}, actions).action;
    });
    EXPECT_EQ(result, Qt::IgnoreAction);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "sub"));

    // Onto a folder item: the file moves; the list waits for the drag's end to refresh.
    result = DragWithMouse("b.htm", [&](QDrag& drag, Qt::DropActions actions) {
        const QMimeData* data = drag.mimeData();
        Enter(data, Centre("a.htm"), {}, actions);
        Move(data, Centre("sub"), {}, actions);
        EXPECT_EQ(list->DropHighlightItem(), Row("sub"));
        Answer drop = Drop(data, Centre("sub"), {}, actions);
        EXPECT_TRUE(drop.accepted);
        EXPECT_GE(Row("b.htm"), 0);
        EXPECT_TRUE(list->RefreshPending());
        return drop.action;
    });
    EXPECT_EQ(result, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "sub" / "b.htm"), "page b");
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "b.htm"));
    EXPECT_EQ(Names(), (NameList{"sub", "a.htm"}));
    EXPECT_FALSE(list->RefreshPending());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListDragTest, ADragOffersWhatTheItemsAllow)
{
    Files({"a.htm", "b.htm"});
    Show(dir.Path());
    Select({});
    EXPECT_EQ(list->DragActions(), Qt::DropActions());
    EXPECT_EQ(std::unique_ptr<QMimeData>(list->DragMimeData()), nullptr);

    Select({"a.htm", "b.htm"});
    EXPECT_EQ(list->DragActions(), kAll);
    std::unique_ptr<QMimeData> data(list->DragMimeData());
    ASSERT_NE(data, nullptr);
    QList<QUrl> expected{QUrl::fromLocalFile(QString::fromStdString(dir / "a.htm")),
                         QUrl::fromLocalFile(QString::fromStdString(dir / "b.htm"))};
    EXPECT_EQ(data->urls(), expected);

    // On the desktop: Home may be copied and linked, not moved; Computer only linked, and
    // as it is no file it cannot be dragged at all.
    fs::path desktop =
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString();
    fs::create_directories(desktop);
    testsupport::WriteAll(desktop / "note.htm", "");
    list->Folder().Clear();
    ASSERT_GE(Row("Home"), 0);
    ASSERT_GE(Row("Computer"), 0);
    Select({"Home"});
    EXPECT_EQ(list->DragActions(), Qt::CopyAction | Qt::LinkAction);
    data.reset(list->DragMimeData());
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(fs::path(data->urls()[0].toLocalFile().toStdString()),
              fs::path(QDir::homePath().toStdString()));
    if (Row("note.htm") >= 0) {
        Select({"Home", "note.htm"});
        EXPECT_EQ(list->DragActions(), Qt::CopyAction | Qt::LinkAction);
        Select({"note.htm"});
        EXPECT_EQ(list->DragActions(), kAll);
    }
    Select({"Computer"});
    EXPECT_EQ(list->DragActions(), Qt::DropActions(Qt::LinkAction));
    EXPECT_EQ(std::unique_ptr<QMimeData>(list->DragMimeData()), nullptr);
    int runs = 0;
    list->SetDragRunner([&](QDrag&, Qt::DropActions) {
        ++runs;
        return Qt::IgnoreAction;
    });
    EXPECT_EQ(list->OleBeginDrag(Qt::LeftButton), Qt::IgnoreAction);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(list->Busy());

    // Without ptsloOleDrag nothing is dragged.
    Select({"Home"});
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloOleDrag));
    EXPECT_FALSE(list->View()->dragEnabled());
    EXPECT_EQ(list->OleBeginDrag(Qt::LeftButton), Qt::IgnoreAction);
    EXPECT_EQ(runs, 0);
    list->SetOptions(kDefaultShellListOptions);
    EXPECT_TRUE(list->View()->dragEnabled());
    EXPECT_EQ(list->OleBeginDrag(Qt::LeftButton), Qt::IgnoreAction);
    EXPECT_EQ(runs, 1);
}

TEST_F(ShellListDragTest, TheDropHighlightFollowsTheHoveredFolder)
{
    fs::create_directory(dir.Path() / "one");
    fs::create_directory(dir.Path() / "two");
    Files({"a.htm"});
    testsupport::WriteAll(other.Path() / "x.htm", "x");
    Show(dir.Path());
    auto data = FileUrls({other.Path() / "x.htm"});
    QAbstractItemModel* model = list->View()->model();
    auto background = [&](const std::string& name) {
        return model->data(model->index(Row(name), 0), Qt::BackgroundRole);
    };

    Enter(data.get(), Centre("one"));
    EXPECT_EQ(list->DropHighlightItem(), Row("one"));
    EXPECT_EQ(background("one").value<QBrush>(), list->palette().brush(QPalette::Highlight));
    EXPECT_FALSE(background("two").isValid());
    Move(data.get(), Centre("two"));
    EXPECT_EQ(list->DropHighlightItem(), Row("two"));
    EXPECT_FALSE(background("one").isValid());
    Move(data.get(), Centre("a.htm"));
    EXPECT_EQ(list->DropHighlightItem(), -1);
    Move(data.get(), Centre("one"));
    EXPECT_EQ(list->DropHighlightItem(), Row("one"));
    Move(data.get(), Empty());
    EXPECT_EQ(list->DropHighlightItem(), -1);
    Move(data.get(), Centre("two"));
    EXPECT_EQ(list->DropHighlightItem(), Row("two"));
    Leave();
    EXPECT_EQ(list->DropHighlightItem(), -1);
    EXPECT_FALSE(background("two").isValid());
    EXPECT_EQ(testsupport::ReadAll(other.Path() / "x.htm"), "x");
}

TEST_F(ShellListDragTest, ADragNearAnEdgeScrollsOneStepPerTenthOfASecond)
{
    for (int i = 0; i < 300; ++i)
        testsupport::WriteAll(dir.Path() / ("f" + std::to_string(1000 + i) + ".htm"), "");
    testsupport::WriteAll(other.Path() / "x.htm", "x");
    auto data = FileUrls({other.Path() / "x.htm"});
    auto now = std::chrono::steady_clock::time_point();
    list->SetDragClock([&] { return now; });
    using std::chrono::milliseconds;

    // Rows top to bottom: the top and bottom edges, 20 pixels each.
    list->SetViewStyle(vsReport);
    Show(dir.Path());
    QApplication::processEvents();
    QScrollBar* bar = list->View()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 20);
    bar->setValue(bar->maximum() / 2);
    const int start = bar->value();
    const int step = bar->singleStep();
    const int height = Viewport()->height();
    const int x = Viewport()->width() / 2;

    Enter(data.get(), QPoint(x, 10));
    EXPECT_EQ(bar->value(), start - step);
    for (int y : {2, 10, 19, 0}) {
        Move(data.get(), QPoint(x, y));
        now += milliseconds(20);
    }
    EXPECT_EQ(bar->value(), start - step) << "once within 100 ms";
    now = std::chrono::steady_clock::time_point() + milliseconds(99);
    Move(data.get(), QPoint(x, 5));
    EXPECT_EQ(bar->value(), start - step);
    now = std::chrono::steady_clock::time_point() + milliseconds(100);
    Move(data.get(), QPoint(x, 5));
    EXPECT_EQ(bar->value(), start - 2 * step);

    // The edge ends 20 pixels in; below it nothing scrolls however long it waits.
    now += milliseconds(500);
    Move(data.get(), QPoint(x, 20));
    Move(data.get(), QPoint(x, height - 21));
    EXPECT_EQ(bar->value(), start - 2 * step);
    Move(data.get(), QPoint(x, height - 20));
    EXPECT_EQ(bar->value(), start - step);

    // Resting near the edge with no moves still scrolls, at the same pace.
    int rested = bar->value();
    QTest::qWait(3 * PTSH_AUTOSCROLL_MINDELAY_MS);
    EXPECT_EQ(bar->value(), rested) << "the clock has not moved";
    now += milliseconds(100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() != rested; }, 5000));
    QTest::qWait(3 * PTSH_AUTOSCROLL_MINDELAY_MS);
    EXPECT_EQ(bar->value(), rested + step);
    Leave();
    now += milliseconds(1000);
    QTest::qWait(3 * PTSH_AUTOSCROLL_MINDELAY_MS);
    EXPECT_EQ(bar->value(), rested + step) << "no scrolling after the drag left";

    // Columns left to right: the left and right edges, 26 pixels each.
    list->SetViewStyle(vsList);
    QApplication::processEvents();
    QScrollBar* across = list->View()->horizontalScrollBar();
    ASSERT_GT(across->maximum(), 0);
    across->setValue(across->maximum() / 2);
    const int middle = across->value();
    const int width = Viewport()->width();
    const int y = Viewport()->height() / 2;
    now += milliseconds(1000);
    Enter(data.get(), QPoint(26, y));
    Move(data.get(), QPoint(width - 27, y));
    EXPECT_EQ(across->value(), middle);
    Move(data.get(), QPoint(25, y));
    EXPECT_EQ(across->value(), middle - across->singleStep());
    now += milliseconds(100);
    Move(data.get(), QPoint(width - 26, y));
    EXPECT_EQ(across->value(), middle);
    Leave();
    EXPECT_EQ(testsupport::ReadAll(other.Path() / "x.htm"), "x");
}

TEST_F(ShellListDragTest, WithoutOleDropTheListRefusesDrops)
{
    testsupport::WriteAll(other.Path() / "x.htm", "x");
    Show(dir.Path());
    auto data = FileUrls({other.Path() / "x.htm"});
    list->SetOptions(kDefaultShellListOptions & ~PtsloFlag(ptsloOleDrop));
    EXPECT_FALSE(Viewport()->acceptDrops());
    EXPECT_FALSE(Enter(data.get(), Empty()).accepted);
    EXPECT_FALSE(Move(data.get(), Empty()).accepted);
    EXPECT_FALSE(Drop(data.get(), Empty()).accepted);
    EXPECT_TRUE(testsupport::Exists(other.Path() / "x.htm"));
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "x.htm"));

    // Switched on again (also in a view made later), the same drop is taken.
    list->SetOptions(kDefaultShellListOptions);
    list->SetViewStyle(vsReport);
    EXPECT_TRUE(Viewport()->acceptDrops());
    EXPECT_EQ(DropAt(data.get(), Empty()).action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "x.htm"), "x");
    EXPECT_GE(Row("x.htm"), 0);
}

TEST_F(ShellListDragTest, AFailedCopyOrMoveLosesNothingAndSaysWhy)
{
    fs::create_directory(dir.Path() / "sub");
    testsupport::WriteAll(other.Path() / "good.htm", "good");
    ASSERT_EQ(::mkfifo((other.Path() / "pipe.htm").c_str(), 0600), 0);
    Show(dir.Path());

    // Nothing arrives: the user is told why, and the source, told Copy, keeps its item.
    auto pipe = FileUrls({other.Path() / "pipe.htm"});
    EXPECT_EQ(DropAt(pipe.get(), Centre("sub"), Qt::ControlModifier).action, Qt::CopyAction);
    QApplication::processEvents();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("pipe.htm: "))) << errors[0].toStdString();
    EXPECT_TRUE(fs::is_fifo(other.Path() / "pipe.htm"));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "sub"));

    // Part of it arrives: the drop counts for what arrived, the rest is where it was.
    auto both = FileUrls({other.Path() / "good.htm", other.Path() / "pipe.htm"});
    EXPECT_EQ(DropAt(both.get(), Centre("sub"), Qt::ControlModifier).action, Qt::CopyAction);
    QApplication::processEvents();
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "sub" / "good.htm"), "good");
    EXPECT_TRUE(fs::is_fifo(other.Path() / "pipe.htm"));

    // Across file systems a plain drop copies, and a move that cannot copy keeps its source.
    testsupport::OtherFileSystemDir awayDir;
    if (!awayDir.Usable())
        GTEST_SKIP() << "no second writable file system";
    const fs::path& away = awayDir.Path();
    testsupport::WriteAll(away / "far.htm", "far");
    ASSERT_EQ(::mkfifo((away / "pipe.htm").c_str(), 0600), 0);
    auto far = FileUrls({away / "far.htm"});
    Answer drop = DropAt(far.get(), Empty());
    EXPECT_EQ(drop.action, Qt::CopyAction);
    EXPECT_EQ(testsupport::ReadAll(away / "far.htm"), "far");
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "far.htm"), "far");
    auto farPipe = FileUrls({away / "pipe.htm"});
    EXPECT_EQ(DropAt(farPipe.get(), Centre("sub"), Qt::ShiftModifier).action, Qt::CopyAction);
    EXPECT_TRUE(fs::is_fifo(away / "pipe.htm"));
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "sub" / "pipe.htm"));
}

} // namespace
} // namespace shelltest
