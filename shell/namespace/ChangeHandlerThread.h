#pragma once

// A worker thread that watches directories and posts a message to its target for every change.
// The owner hands it commands one at a time and waits (bounded) until each is done.

#include <QEvent>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A message posted to a control, standing in for a window message.
class TShellMessageEvent : public QEvent
{
public:
    TShellMessageEvent(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam)
    {
    }
    static QEvent::Type EventType();
    int Message() const { return m_message; }
    std::intptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }

private:
    int m_message;
    std::intptr_t m_wParam;
    std::intptr_t m_lParam;
};

// Change filters.
namespace filenotify {
constexpr std::uint32_t FileName = 0x1;
constexpr std::uint32_t DirName = 0x2;
constexpr std::uint32_t Attributes = 0x4;
constexpr std::uint32_t Size = 0x8;
constexpr std::uint32_t LastWrite = 0x10;
} // namespace filenotify

// The target must outlive the watcher: the thread posts to it until the watcher is destroyed.
class TChangeHandlerThread
{
public:
    static constexpr int kSlotCount = 63;
    static constexpr int kCommandTimeoutMs = 2000;
    // How often a folder that went away is looked for again.
    static constexpr int kRearmIntervalMs = 500;

    enum Command
    {
        cmdAddPending = 0,
        cmdRemoveSlot = 1,
        cmdRemoveAll = 2,
        cmdTerminate = 3
    };

    TChangeHandlerThread(QObject* target, int message);
    // Ends the thread and waits for it: nothing of the watcher is freed while it runs.
    ~TChangeHandlerThread();
    TChangeHandlerThread(const TChangeHandlerThread&) = delete;
    TChangeHandlerThread& operator=(const TChangeHandlerThread&) = delete;

    // False for an empty path, a folder that cannot be watched, no free slot or no answer.
    // A watch stays on its path: when the folder is deleted or moved away, the slot waits for
    // a folder to appear under the same path again, and reports it when it does.
    bool AddWatch(const std::string& path, std::uint32_t filter, bool watchSubtree,
                  int* slot = nullptr);
    bool RemoveWatch(int slot);
    bool RemoveAllWatches();
    int WatchCount();

    // The names that changed in a slot's folder since the last call. False when they are not
    // known (too many, the queue overflowed, the folder itself went or came back): compare
    // everything.
    bool TakeChanges(int slot, std::vector<std::string>& names);

    // How long the owner waits for a command; and a hook the thread runs before each command,
    // so that tests can hold it up.
    void SetCommandTimeout(int milliseconds) { m_commandTimeoutMs = milliseconds; }
    void SetCommandHook(std::function<void()> hook);

private:
    struct Slot
    {
        bool used = false;
        int handle = -1;
        std::string path;
        std::uint32_t mask = 0;
        // The folder went away; the path is looked at again until a folder is there.
        bool waiting = false;
        std::int64_t stamp = 0;
        std::vector<std::string> changes;
        bool changesKnown = true;
    };
    // A command and its reply carry the same sequence number: a reply that comes after its
    // owner gave up waiting can answer no later command.
    struct CommandRecord
    {
        std::uint64_t sequence = 0;
        Command command = cmdAddPending;
        std::string path;
        std::uint32_t mask = 0;
        int slot = -1;
    };

    bool RunCommand(CommandRecord command, int* result);
    void Run();
    int DoCommand(const CommandRecord& command);
    void ReadChanges();
    void PollChanges();
    void EndWatch(int slot);
    bool RearmWaiting();
    void Post(int slot);
    void FreeSlot(int slot);

    QPointer<QObject> m_target;
    int m_message;
    int m_commandPipe[2] = {-1, -1};
    int m_notifyFd = -1;
    int m_commandTimeoutMs = kCommandTimeoutMs;

    // The owner's side of the commands; guarded by m_commandMutex.
    std::mutex m_commandMutex;
    std::condition_variable m_commandDone;
    std::deque<CommandRecord> m_commands;
    std::uint64_t m_nextSequence = 1;
    std::uint64_t m_waitingFor = 0; // the command the owner still waits for, 0 for none
    std::uint64_t m_doneSequence = 0;
    int m_doneResult = -1;
    std::function<void()> m_commandHook;
    std::atomic<bool> m_terminate{false};

    // Only the thread changes the slots; both sides read the change lists, under this mutex.
    std::mutex m_slotsMutex;
    Slot m_slots[kSlotCount];
    std::thread m_thread;
};
