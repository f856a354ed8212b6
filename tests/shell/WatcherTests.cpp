// The watcher thread and the device-change broadcaster: the two sources of notices from outside
// the program.

#include "shell/namespace/ChangeHandlerThread.h"
#include "shell/namespace/PTDeviceChangeHandler.h"
#include "shell/namespace/ThreadHandOff.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr int kMessage = 1125;

// Records the slots of the notices posted to it.
struct Target : QObject
{
    std::vector<std::intptr_t> posted;
    bool event(QEvent* event) override
    {
        // The notices come from the watcher's thread, as the list's do.
        TakeOverPostedEvent(event);
        if (event->type() != TShellMessageEvent::EventType())
            return QObject::event(event);
        auto* message = static_cast<TShellMessageEvent*>(event);
        EXPECT_EQ(message->Message(), kMessage);
        posted.push_back(message->WParam());
        return true;
    }
};

// Holds the watcher thread in its next command until released.
class Gate
{
public:
    void Pass()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool WaitForArrival()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_arrived; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_arrived = false;
    bool m_open = false;
};

} // namespace

TEST(ChangeHandlerThread, SixtyThreeWatchesAtMost)
{
    testsupport::TempDir dir;
    QObject target;
    TChangeHandlerThread watcher(&target, kMessage);
    EXPECT_FALSE(watcher.AddWatch("", filenotify::FileName, false));
    EXPECT_FALSE(watcher.AddWatch(dir / "missing", filenotify::FileName, false));
    int slot = -1;
    for (int i = 0; i < TChangeHandlerThread::kSlotCount; ++i) {
        fs::create_directory(dir.Path() / std::to_string(i));
        ASSERT_TRUE(watcher.AddWatch(dir / std::to_string(i), filenotify::FileName, false, &slot))
            << i;
        EXPECT_EQ(slot, i);
    }
    EXPECT_FALSE(watcher.AddWatch(dir.Path().string(), filenotify::FileName, false, &slot));
    EXPECT_EQ(slot, -1);
    EXPECT_TRUE(watcher.RemoveWatch(5));
    EXPECT_TRUE(watcher.AddWatch(dir.Path().string(), filenotify::FileName, false, &slot));
    EXPECT_EQ(slot, 5);
    EXPECT_TRUE(watcher.RemoveAllWatches());
    EXPECT_EQ(watcher.WatchCount(), 0);
}

TEST(ChangeHandlerThread, PostsChangesWithTheirNames)
{
    testsupport::TempDir dir;
    Target target;
    TChangeHandlerThread watcher(&target, kMessage);
    fs::create_directory(dir.Path() / "other");
    int slot = -1;
    ASSERT_TRUE(watcher.AddWatch(dir / "other", filenotify::FileName, false));
    ASSERT_TRUE(watcher.AddWatch(dir.Path().string(), filenotify::FileName, false, &slot));
    testsupport::WriteAll(dir.Path() / "new.htm", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.posted.empty(); }, 10000));
    EXPECT_EQ(target.posted.front(), slot);
    std::vector<std::string> names;
    EXPECT_TRUE(watcher.TakeChanges(slot, names));
    EXPECT_EQ(names, std::vector<std::string>{"new.htm"});
    EXPECT_TRUE(watcher.TakeChanges(slot, names));
    EXPECT_TRUE(names.empty());

    // A burst of new files, as a split writes its pages, comes in a few notices, not one each
    // (each one woke this thread, at the writer's cost), and every name arrives.
    target.posted.clear();
    constexpr int kBurst = 200;
    for (int i = 0; i < kBurst; ++i)
        testsupport::WriteAll(dir.Path() / ("page" + std::to_string(i) + ".htm"), "");
    std::set<std::string> arrived;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            EXPECT_TRUE(watcher.TakeChanges(slot, names));
            arrived.insert(names.begin(), names.end());
            return arrived.size() == kBurst;
        },
        10000));
    EXPECT_LE(target.posted.size(), 20u);
}

TEST(ChangeHandlerThread, AWatchStaysOnItsPathWhenTheFolderGoesAndComesBack)
{
    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "watched");
    Target target;
    TChangeHandlerThread watcher(&target, kMessage);
    int slot = -1;
    ASSERT_TRUE(watcher.AddWatch(dir / "watched", filenotify::FileName, false, &slot));
    std::vector<std::string> names;
    auto noticed = [&] {
        bool any = QTest::qWaitFor([&] { return !target.posted.empty(); }, 10000);
        QTest::qWait(100);
        bool known = watcher.TakeChanges(slot, names);
        for (std::intptr_t posted : target.posted)
            EXPECT_EQ(posted, slot);
        target.posted.clear();
        return any && !known;
    };

    // Moved away: noticed, and what happens in the moved folder is none of the watch's business.
    fs::rename(dir.Path() / "watched", dir.Path() / "moved");
    ASSERT_TRUE(noticed()) << "the folder went: everything is to be compared";
    testsupport::WriteAll(dir.Path() / "moved" / "elsewhere.htm", "");
    QTest::qWait(1000);
    EXPECT_TRUE(target.posted.empty());
    EXPECT_EQ(watcher.WatchCount(), 1);

    // A folder under the watched path again: noticed, and then watched by its names.
    fs::create_directory(dir.Path() / "watched");
    ASSERT_TRUE(noticed()) << "a folder is back";
    testsupport::WriteAll(dir.Path() / "watched" / "new.htm", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.posted.empty(); }, 10000));
    QTest::qWait(100);
    EXPECT_TRUE(watcher.TakeChanges(slot, names));
    EXPECT_EQ(names, std::vector<std::string>{"new.htm"});
    target.posted.clear();

    // Deleted and made again: the same.
    fs::remove_all(dir.Path() / "watched");
    ASSERT_TRUE(noticed());
    fs::create_directory(dir.Path() / "watched");
    testsupport::WriteAll(dir.Path() / "watched" / "again.htm", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.posted.empty(); }, 10000));
    QTest::qWait(700);
    watcher.TakeChanges(slot, names);
    target.posted.clear();
    testsupport::WriteAll(dir.Path() / "watched" / "third.htm", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.posted.empty(); }, 10000));
    QTest::qWait(100);
    EXPECT_TRUE(watcher.TakeChanges(slot, names));
    EXPECT_EQ(names, std::vector<std::string>{"third.htm"});
}

TEST(ChangeHandlerThread, ALateAnswerAnswersNoLaterCommand)
{
    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "first");
    fs::create_directory(dir.Path() / "second");
    Target target;
    TChangeHandlerThread watcher(&target, kMessage);
    watcher.SetCommandTimeout(100);
    Gate gate;
    watcher.SetCommandHook([&] { gate.Pass(); });

    // The thread is held up: the owner gives the first watch up.
    EXPECT_FALSE(watcher.AddWatch(dir / "first", filenotify::FileName, false));
    ASSERT_TRUE(gate.WaitForArrival());
    watcher.SetCommandHook(nullptr);
    gate.Open();
    watcher.SetCommandTimeout(TChangeHandlerThread::kCommandTimeoutMs);
    int slot = -1;
    ASSERT_TRUE(watcher.AddWatch(dir / "second", filenotify::FileName, false, &slot));
    EXPECT_EQ(watcher.WatchCount(), 1) << "the watch given up on does not stay";

    // The slot reported is the second folder's, and only it is watched.
    testsupport::WriteAll(dir.Path() / "first" / "a.htm", "");
    testsupport::WriteAll(dir.Path() / "second" / "b.htm", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.posted.empty(); }, 10000));
    QTest::qWait(200);
    for (std::intptr_t posted : target.posted)
        EXPECT_EQ(posted, slot);
    std::vector<std::string> names;
    EXPECT_TRUE(watcher.TakeChanges(slot, names));
    EXPECT_EQ(names, std::vector<std::string>{"b.htm"});
}

TEST(ChangeHandlerThread, IsDestroyedOnlyAfterItsThreadEnded)
{
    testsupport::TempDir dir;
    Target target;
    Gate gate;
    std::atomic<bool> hookDone{false};
    std::thread opener;
    {
        TChangeHandlerThread watcher(&target, kMessage);
        watcher.SetCommandTimeout(50);
        watcher.SetCommandHook([&] {
            gate.Pass();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            hookDone = true;
        });
        EXPECT_FALSE(watcher.RemoveAllWatches());
        ASSERT_TRUE(gate.WaitForArrival());
        opener = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            gate.Open();
        });
    }
    EXPECT_TRUE(hookDone) << "the thread was waited for, not left running";
    opener.join();
}

TEST(DeviceChangeHandler, ReachesSubscribersThroughTheEventLoop)
{
    TPTDeviceChangeHandler* handler = PTDeviceChangeHandler();
    ASSERT_EQ(handler, PTDeviceChangeHandler());
    std::vector<std::uintptr_t> seen;
    int owner = 0, other = 0;
    handler->Add(&owner, [&](TPTDeviceChangeHandler* sender, const TDeviceChangeMessage& message) {
        EXPECT_EQ(sender, handler);
        EXPECT_EQ(message.message, kDeviceChangeMessage);
        seen.push_back(message.wParam);
    });
    handler->Add(&other,
                 [&](TPTDeviceChangeHandler*, const TDeviceChangeMessage&) { seen.push_back(0); });
    handler->DeviceChange(DBT_DEVICEARRIVAL, 0, QStringLiteral("/media/stick"));
    EXPECT_TRUE(seen.empty()) << "never inside the notification itself";
    QApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<std::uintptr_t>{DBT_DEVICEARRIVAL, 0}));
    handler->Remove(&other);
    handler->DeviceChange(DBT_DEVICEREMOVECOMPLETE, 0);
    QApplication::processEvents();
    EXPECT_EQ(seen.back(), static_cast<std::uintptr_t>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(seen.size(), 3u);
    handler->Remove(&owner);
}
