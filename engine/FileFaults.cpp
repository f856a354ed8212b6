#include "engine/FileFaults.h"

#include <map>
#include <mutex>

namespace filefaults {

namespace detail {
std::atomic<bool> g_armed{false};
} // namespace detail

namespace {

struct Descriptor
{
    std::string Path;
    bool Writing = false;
};

struct State
{
    std::mutex Lock;
    FileCall Kind = FileCall::Open;
    long long FailAt = 0;
    int Error = 0;
    long long Counts[kFileCallKinds] = {};
    bool Fired = false;
    std::vector<CallRecord> Calls;
    std::map<int, Descriptor> Descriptors;
};

State& TheState()
{
    static State state;
    return state;
}

} // namespace

int detail::CheckArmed(FileCall kind, int fd, const char* path, bool writing)
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.Lock);
    if (!g_armed.load(std::memory_order_relaxed))
        return 0;
    CallRecord record{kind, path ? path : std::string(), writing};
    if (!path) {
        auto it = s.Descriptors.find(fd);
        if (it != s.Descriptors.end()) {
            record.Path = it->second.Path;
            record.Writing = it->second.Writing;
        }
    }
    if (kind == FileCall::Close)
        s.Descriptors.erase(fd);
    s.Calls.push_back(std::move(record));
    const long long n = ++s.Counts[static_cast<int>(kind)];
    if (kind == s.Kind && n == s.FailAt) {
        s.Fired = true;
        return s.Error;
    }
    return 0;
}

void detail::RecordOpened(int fd, const char* path, bool writing)
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.Lock);
    s.Descriptors[fd] = Descriptor{path ? path : std::string(), writing};
}

void Arm(FileCall kind, long long n, int error)
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.Lock);
    s.Kind = kind;
    s.FailAt = n;
    s.Error = error;
    for (long long& count : s.Counts)
        count = 0;
    s.Fired = false;
    s.Calls.clear();
    s.Descriptors.clear();
    detail::g_armed.store(true);
}

void Disarm()
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.Lock);
    detail::g_armed.store(false);
}

std::vector<CallRecord> Calls()
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.Lock);
    return s.Calls;
}

bool Fired()
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.Lock);
    return s.Fired;
}

const char* KindName(FileCall kind)
{
    switch (kind) {
    case FileCall::Open:
        return "open";
    case FileCall::Read:
        return "read";
    case FileCall::Write:
        return "write";
    case FileCall::Close:
        return "close";
    case FileCall::Copy:
        return "copy";
    case FileCall::Rename:
        return "rename";
    }
    return "?";
}

} // namespace filefaults
