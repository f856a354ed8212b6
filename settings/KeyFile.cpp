#include "settings/KeyFile.h"

#include "engine/FileCalls.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A key file is a few kilobytes; anything far larger is not ours to load into memory.
constexpr off_t MaxFileSize = 64 * 1024 * 1024;

class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~FileDescriptor() { Close(); }

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    bool Close()
    {
        if (m_fd < 0)
            return true;
        int fd = m_fd;
        m_fd = -1;
        return filecalls::Close(fd) == 0;
    }

private:
    int m_fd = -1;
};

bool IsAbsolute(const char* path)
{
    return path && path[0] == '/';
}

std::optional<fs::path> ConfigHome()
{
    // Relative values are invalid by the XDG rules and are ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(xdg))
        return fs::path(xdg);
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home))
        return fs::path(home) / ".config";
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        IsAbsolute(found->pw_dir))
        return fs::path(found->pw_dir) / ".config";
    return std::nullopt;
}

bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// Creates the missing folders of the path, each readable by the owner only.
bool MakeFolders(const fs::path& folder)
{
    fs::path current;
    for (const fs::path& part : folder) {
        current /= part;
        struct stat st;
        if (::stat(current.c_str(), &st) == 0)
            continue;
        if (errno != ENOENT || (::mkdir(current.c_str(), 0700) != 0 && errno != EEXIST))
            return false;
    }
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileDescriptor AcquireLock(const fs::path& lockPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        FileDescriptor lock(filecalls::Open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!lock)
            return {};
        int rc;
        while ((rc = ::flock(lock.Get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (rc != 0)
            return {};
        // Someone may have removed the lock file while we waited on it; a lock on an unlinked
        // file excludes nobody, so take the lock of the file that is there now.
        struct stat held, current;
        if (::fstat(lock.Get(), &held) == 0 && ::stat(lockPath.c_str(), &current) == 0 &&
            held.st_dev == current.st_dev && held.st_ino == current.st_ino)
            return lock;
    }
    return {};
}

// A missing file reads as empty.
bool ReadFile(const fs::path& file, std::string& text)
{
    text.clear();
    FileDescriptor in(filecalls::Open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in)
        return errno == ENOENT;
    struct stat st;
    if (::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxFileSize)
        return false;
    char buffer[16384];
    while (true) {
        const long long n = filecalls::Read(in.Get(), buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > static_cast<std::size_t>(MaxFileSize))
            return false;
    }
}

std::string TemporaryPrefix(const fs::path& file)
{
    return "." + file.filename().string() + ".";
}

// Temporary files left by a writer that was killed. Only the lock holder writes one, so any
// that exists while we hold the lock is stale.
void RemoveStaleTemporaries(const fs::path& file)
{
    const std::string prefix = TemporaryPrefix(file);
    std::error_code ec;
    for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            ::unlink(it->path().c_str());
    }
}

void SyncFolder(const fs::path& folder)
{
    FileDescriptor dir(filecalls::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        filecalls::Sync(dir.Get());
}

// Write a temporary file beside the target, flush it to disk, then rename it over the target:
// readers and a crash at any moment see either the whole old or the whole new file.
bool ReplaceFile(const fs::path& file, const std::string& text)
{
    RemoveStaleTemporaries(file);
    std::string pattern = (file.parent_path() / (TemporaryPrefix(file) + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FileDescriptor out(filecalls::MakeTemporary(name.data()));
    if (!out)
        return false;
    bool ok = ::fchmod(out.Get(), 0600) == 0 &&
              filecalls::WriteAll(out.Get(), text.data(), text.size()) &&
              filecalls::Sync(out.Get()) == 0 && out.Close() &&
              filecalls::Rename(name.data(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    SyncFolder(file.parent_path());
    return true;
}

// Runs change on the file's text under the lock and stores the text when it changed.
template <typename Change> bool Update(const fs::path& file, Change change)
{
    if (file.filename().empty() || !MakeFolders(file.parent_path()))
        return false;
    fs::path lockPath = file;
    lockPath += ".lock";
    FileDescriptor lock = AcquireLock(lockPath);
    if (!lock)
        return false;
    std::string before;
    if (!ReadFile(file, before))
        return false;
    KeyFileText text = KeyFileText::Parse(before);
    change(text);
    std::string after = text.Text();
    return after == before || ReplaceFile(file, after);
}

} // namespace

KeyFile::KeyFile(std::filesystem::path file, std::string key)
    : m_file(std::move(file)), m_key(std::move(key))
{
    std::error_code ec;
    fs::path absolute = fs::absolute(m_file, ec);
    if (!ec)
        m_file = absolute;
}

std::optional<fs::path> KeyFile::Location(const std::string& company, const std::string& product)
{
    if (!IsPlainFileName(company) || !IsPlainFileName(product))
        return std::nullopt;
    std::optional<fs::path> base = ConfigHome();
    if (!base)
        return std::nullopt;
    return *base / company / (product + ".reg");
}

std::optional<RegistryValue> KeyFile::Query(const std::string& name) const
{
    std::optional<RegistryValue> found;
    bool ok = Update(m_file, [&](KeyFileText& text) {
        if (!text.HasKey(m_key))
            text.AddKey(m_key);
        found = text.Find(m_key, name);
    });
    return ok ? found : std::nullopt;
}

bool KeyFile::Set(const std::string& name, const RegistryValue& value) const
{
    // The file is line-based; a name with a line break cannot be written into it.
    if (name.find_first_of("\r\n") != std::string::npos)
        return false;
    return Update(m_file, [&](KeyFileText& text) { text.Set(m_key, name, value); });
}
