#include "shell/namespace/ChangeHandlerThread.h"

#include "shell/namespace/ThreadHandOff.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/inotify.h>
#endif

namespace {
// More names than this are not worth looking at one by one.
constexpr std::size_t kMaxKnownChanges = 256;

std::int64_t Stamp(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return -1;
#if defined(__APPLE__)
    return st.st_mtimespec.tv_sec * 1000000000LL + st.st_mtimespec.tv_nsec;
#else
    return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
#endif
}
} // namespace

QEvent::Type TShellMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TChangeHandlerThread::TChangeHandlerThread(QObject* target, int message)
    : m_target(target), m_message(message)
{
    if (::pipe(m_commandPipe) != 0)
        return;
    ::fcntl(m_commandPipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(m_commandPipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(m_commandPipe[1], F_SETFD, FD_CLOEXEC);
#if defined(__linux__)
    m_notifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
    m_thread = std::thread([this] { Run(); });
}

TChangeHandlerThread::~TChangeHandlerThread()
{
    if (m_thread.joinable()) {
        // The thread waits on the command pipe: it sees the request at once and ends.
        m_terminate = true;
        char byte = 0;
        (void)!::write(m_commandPipe[1], &byte, 1);
        m_thread.join();
    }
    for (Slot& slot : m_slots)
        slot = Slot();
    if (m_notifyFd >= 0)
        ::close(m_notifyFd);
    for (int fd : m_commandPipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TChangeHandlerThread::SetCommandHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> lock(m_commandMutex);
    m_commandHook = std::move(hook);
}

bool TChangeHandlerThread::RunCommand(CommandRecord command, int* result)
{
    if (!m_thread.joinable())
        return false;
    std::unique_lock<std::mutex> lock(m_commandMutex);
    std::uint64_t sequence = m_nextSequence++;
    command.sequence = sequence;
    m_commands.push_back(std::move(command));
    m_waitingFor = sequence;
    char byte = 0;
    if (::write(m_commandPipe[1], &byte, 1) != 1) {
        m_commands.pop_back();
        m_waitingFor = 0;
        return false;
    }
    bool done = m_commandDone.wait_for(lock, std::chrono::milliseconds(m_commandTimeoutMs),
                                       [&] { return m_doneSequence == sequence; });
    // Given up or answered: either way no later reply is for this command.
    m_waitingFor = 0;
    if (done && result)
        *result = m_doneResult;
    return done;
}

bool TChangeHandlerThread::AddWatch(const std::string& path, std::uint32_t filter, bool, int* slot)
{
    if (slot)
        *slot = -1;
    if (path.empty())
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    std::uint32_t mask = 0;
#if defined(__linux__)
    if (filter & (filenotify::FileName | filenotify::DirName))
        mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    if (filter & filenotify::Attributes)
        mask |= IN_ATTRIB;
    if (filter & (filenotify::Size | filenotify::LastWrite))
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    mask |= IN_ONLYDIR;
#else
    mask = filter;
#endif
    CommandRecord command;
    command.command = cmdAddPending;
    command.path = path;
    command.mask = mask;
    int result = -1;
    if (!RunCommand(std::move(command), &result) || result < 0)
        return false;
    if (slot)
        *slot = result;
    return true;
}

bool TChangeHandlerThread::RemoveWatch(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return false;
    CommandRecord command;
    command.command = cmdRemoveSlot;
    command.slot = slot;
    return RunCommand(std::move(command), nullptr);
}

bool TChangeHandlerThread::RemoveAllWatches()
{
    CommandRecord command;
    command.command = cmdRemoveAll;
    return RunCommand(std::move(command), nullptr);
}

int TChangeHandlerThread::WatchCount()
{
    std::lock_guard<std::mutex> lock(m_slotsMutex);
    int count = 0;
    for (const Slot& slot : m_slots)
        count += slot.used ? 1 : 0;
    return count;
}

bool TChangeHandlerThread::TakeChanges(int slot, std::vector<std::string>& names)
{
    names.clear();
    if (slot < 0 || slot >= kSlotCount)
        return false;
    std::lock_guard<std::mutex> lock(m_slotsMutex);
    Slot& s = m_slots[slot];
    bool known = s.used && s.changesKnown && !s.waiting && m_notifyFd >= 0;
    names.swap(s.changes);
    s.changes.clear();
    s.changesKnown = true;
    return known;
}

void TChangeHandlerThread::Post(int slot)
{
    QObject* target = m_target.data();
    if (target) {
        auto* event = new TShellMessageEvent(m_message, slot, 0);
        HandOffPostedEvent(event);
        QCoreApplication::postEvent(target, event);
    }
}

void TChangeHandlerThread::FreeSlot(int index)
{
    Slot& slot = m_slots[index];
#if defined(__linux__)
    bool shared = false;
    for (int i = 0; i < kSlotCount; ++i)
        shared |= i != index && m_slots[i].used && m_slots[i].handle == slot.handle;
    if (!shared && slot.handle >= 0 && m_notifyFd >= 0)
        ::inotify_rm_watch(m_notifyFd, slot.handle);
#endif
    std::lock_guard<std::mutex> lock(m_slotsMutex);
    slot = Slot();
}

int TChangeHandlerThread::DoCommand(const CommandRecord& command)
{
    switch (command.command) {
    case cmdAddPending: {
        int free = -1;
        for (int i = 0; i < kSlotCount && free < 0; ++i)
            free = m_slots[i].used ? -1 : i;
        if (free < 0)
            return -1;
        int handle = -1;
#if defined(__linux__)
        if (m_notifyFd < 0)
            return -1;
        handle = ::inotify_add_watch(m_notifyFd, command.path.c_str(), command.mask | IN_MASK_ADD);
        if (handle < 0)
            return -1;
#endif
        std::lock_guard<std::mutex> lock(m_slotsMutex);
        Slot& slot = m_slots[free];
        slot = Slot();
        slot.used = true;
        slot.handle = handle;
        slot.path = command.path;
        slot.mask = command.mask;
        slot.stamp = Stamp(slot.path);
        return free;
    }
    case cmdRemoveSlot:
        if (command.slot >= 0 && command.slot < kSlotCount && m_slots[command.slot].used)
            FreeSlot(command.slot);
        return 0;
    case cmdRemoveAll:
        for (int i = 0; i < kSlotCount; ++i) {
            if (m_slots[i].used)
                FreeSlot(i);
        }
        return 0;
    case cmdTerminate:
        break;
    }
    return 0;
}

void TChangeHandlerThread::ReadChanges()
{
#if defined(__linux__)
    alignas(inotify_event) char buffer[16384];
    bool touched[kSlotCount] = {};
    bool gone[kSlotCount] = {};
    for (;;) {
        ssize_t length = ::read(m_notifyFd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        std::lock_guard<std::mutex> lock(m_slotsMutex);
        for (char* p = buffer; p < buffer + length;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            p += sizeof(inotify_event) + event->len;
            for (int i = 0; i < kSlotCount; ++i) {
                Slot& slot = m_slots[i];
                if (!slot.used)
                    continue;
                if (event->mask & IN_Q_OVERFLOW) {
                    slot.changesKnown = false;
                    touched[i] = true;
                    continue;
                }
                if (event->wd != slot.handle)
                    continue;
                touched[i] = true;
                // Deleted, moved away or unmounted: what the path names is no longer this
                // folder.
                if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                    slot.changesKnown = false;
                    gone[i] = true;
                } else if (event->len > 0 && slot.changesKnown) {
                    if (slot.changes.size() >= kMaxKnownChanges) {
                        slot.changesKnown = false;
                        slot.changes.clear();
                    } else {
                        slot.changes.emplace_back(event->name);
                    }
                }
            }
        }
    }
    // A watch follows its folder, wherever it is moved; the slot stays on the path instead and
    // waits for a folder to be there again.
    for (int i = 0; i < kSlotCount; ++i) {
        if (gone[i] && m_slots[i].handle >= 0)
            EndWatch(i);
    }
    for (int i = 0; i < kSlotCount; ++i) {
        if (touched[i])
            Post(i);
    }
#endif
}

void TChangeHandlerThread::EndWatch(int index)
{
#if defined(__linux__)
    int handle = m_slots[index].handle;
    // Slots on the same folder share one handle; they all go waiting.
    std::lock_guard<std::mutex> lock(m_slotsMutex);
    for (Slot& slot : m_slots) {
        if (slot.used && slot.handle == handle) {
            slot.handle = -1;
            slot.waiting = true;
            slot.changesKnown = false;
        }
    }
    // Gone already after a deletion; still there, on the moved folder, after a move.
    ::inotify_rm_watch(m_notifyFd, handle);
#else
    (void)index;
#endif
}

bool TChangeHandlerThread::RearmWaiting()
{
    bool stillWaiting = false;
#if defined(__linux__)
    for (int i = 0; i < kSlotCount; ++i) {
        Slot& slot = m_slots[i];
        if (!slot.used || !slot.waiting)
            continue;
        struct stat st;
        int handle = -1;
        if (::stat(slot.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            handle = ::inotify_add_watch(m_notifyFd, slot.path.c_str(), slot.mask | IN_MASK_ADD);
        if (handle < 0) {
            stillWaiting = true;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_slotsMutex);
            slot.handle = handle;
            slot.waiting = false;
            slot.changesKnown = false;
            slot.changes.clear();
        }
        // A folder is there again: its owner looks at all of it.
        Post(i);
    }
#endif
    return stillWaiting;
}

// Without a kernel notification facility, folders are compared by their change time.
void TChangeHandlerThread::PollChanges()
{
    for (int i = 0; i < kSlotCount; ++i) {
        Slot& slot = m_slots[i];
        if (!slot.used)
            continue;
        std::int64_t stamp = Stamp(slot.path);
        if (stamp != slot.stamp) {
            {
                std::lock_guard<std::mutex> lock(m_slotsMutex);
                slot.stamp = stamp;
                slot.changesKnown = false;
            }
            Post(i);
        }
    }
}

void TChangeHandlerThread::Run()
{
    // After changes are read, the changes file descriptor rests a moment: events that come
    // meanwhile queue up without waking this thread, which for a program writing a thousand
    // files cost a wake-up each, paid by the writer (and by the split in the main window).
    using Clock = std::chrono::steady_clock;
    constexpr auto kSettle = std::chrono::milliseconds(25);
    Clock::time_point restUntil{};
    while (!m_terminate) {
        bool waiting = m_notifyFd >= 0 && RearmWaiting();
        pollfd fds[2] = {{m_commandPipe[0], POLLIN, 0}, {m_notifyFd, POLLIN, 0}};
        int count = m_notifyFd >= 0 ? 2 : 1;
        int timeout = m_notifyFd < 0 ? 1000 : (waiting ? kRearmIntervalMs : -1);
        const auto now = Clock::now();
        if (count == 2 && now < restUntil) {
            count = 1;
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(restUntil - now);
            timeout = timeout < 0 ? static_cast<int>(rest.count())
                                  : std::min(timeout, static_cast<int>(rest.count()));
        }
        int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (m_terminate)
            break;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            char bytes[64];
            while (::read(m_commandPipe[0], bytes, sizeof bytes) > 0) {
            }
            for (;;) {
                CommandRecord command;
                std::function<void()> hook;
                {
                    std::lock_guard<std::mutex> lock(m_commandMutex);
                    if (m_commands.empty())
                        break;
                    command = std::move(m_commands.front());
                    m_commands.pop_front();
                    hook = m_commandHook;
                }
                if (hook)
                    hook();
                if (m_terminate)
                    break;
                int result = DoCommand(command);
                bool answered = false;
                {
                    std::lock_guard<std::mutex> lock(m_commandMutex);
                    if (m_waitingFor == command.sequence) {
                        m_doneSequence = command.sequence;
                        m_doneResult = result;
                        answered = true;
                        m_commandDone.notify_all();
                    }
                }
                // A watch whose owner stopped waiting counts as not placed: it must not stay.
                if (!answered && command.command == cmdAddPending && result >= 0)
                    FreeSlot(result);
            }
        }
        if (count == 2 && ready > 0 && (fds[1].revents & POLLIN)) {
            ReadChanges();
            restUntil = Clock::now() + kSettle;
        }
        if (m_notifyFd < 0)
            PollChanges();
    }
}
