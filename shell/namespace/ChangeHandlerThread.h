#pragma once

// A worker thread that watches directories and posts a message to its target for every change.
// The owner hands it commands one at a time and waits (bounded) until each is done.

#include <QEvent>
#include <QPointer>
#include <condition_variable>
#include <cstdint>
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

class TAutoResetEvent
{
public:
    void Set();
    // Whether the event was set within the time; resets it.
    bool Wait(int milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_set = false;
};

class TChangeHandlerThread
{
public:
    static constexpr int kSlotCount = 63;
    static constexpr int kCommandTimeoutMs = 2000;
    static constexpr int kTerminateTimeoutMs = 30000;

    enum Command
    {
        cmdAddPending = 0,
        cmdRemoveSlot = 1,
        cmdRemoveAll = 2,
        cmdTerminate = 3
    };

    TChangeHandlerThread(QObject* target, int message);
    ~TChangeHandlerThread();
    TChangeHandlerThread(const TChangeHandlerThread&) = delete;
    TChangeHandlerThread& operator=(const TChangeHandlerThread&) = delete;

    // False for an empty path, a folder that cannot be watched, no free slot or no answer.
    bool AddWatch(const std::string& path, std::uint32_t filter, bool watchSubtree,
                  int* slot = nullptr);
    bool RemoveWatch(int slot);
    bool RemoveAllWatches();
    int WatchCount();

    // The names that changed in a slot's folder since the last call. False when they are not
    // known (too many, the queue overflowed, the folder itself went away): compare everything.
    bool TakeChanges(int slot, std::vector<std::string>& names);

private:
    struct Slot
    {
        bool used = false;
        int handle = -1;
        std::string path;
        std::int64_t stamp = 0;
        std::vector<std::string> changes;
        bool changesKnown = true;
    };
    struct Pending
    {
        std::string path;
        std::uint32_t mask = 0;
    };

    bool RunCommand(Command command);
    void Run();
    void DoCommand();
    void ReadChanges();
    void PollChanges();
    void Post(int slot);
    void FreeSlot(int slot);

    QPointer<QObject> m_target;
    int m_message;
    int m_commandPipe[2] = {-1, -1};
    int m_notifyFd = -1;
    TAutoResetEvent m_done;
    TAutoResetEvent m_ended;

    // Command fields: written by the owner while the thread waits for the command event.
    Command m_command = cmdAddPending;
    Pending m_pending;
    bool m_hasPending = false;
    int m_commandSlot = -1;
    int m_resultSlot = -1;

    std::mutex m_slotsMutex; // guards the change lists, which both sides read
    Slot m_slots[kSlotCount];
    std::thread m_thread;
};
