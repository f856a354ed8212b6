#include "tests/common/TestSupport.h"

#include "tests/common/PrivateRegistry.h"

#include <cstdlib>
#include <fstream>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

namespace {
fs::path MakeUniqueFolder(const fs::path& parent, const std::string& prefix)
{
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = parent / (prefix + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec))
            return candidate;
    }
    throw std::runtime_error("cannot create a temporary folder");
}

fs::path g_environmentRoot;
decltype(getpid()) g_environmentOwner = 0;

// Runs at exit, after main's objects (the application, its settings) are gone, so whatever
// they wrote on the way out goes too. A forked child leaves the folder to its parent.
void RemoveEnvironment()
{
    if (getpid() == g_environmentOwner && !g_environmentRoot.empty())
        RemoveTree(g_environmentRoot);
}
} // namespace

void RemoveTree(const fs::path& root)
{
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so removal succeeds.
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
}

OtherFileSystemDir::OtherFileSystemDir()
{
#ifndef _WIN32
    struct stat temp, memory;
    char name[] = "/dev/shm/quirefold-test-XXXXXX";
    if (::stat(fs::temp_directory_path().c_str(), &temp) == 0 && ::stat("/dev/shm", &memory) == 0 &&
        temp.st_dev != memory.st_dev && ::access("/dev/shm", W_OK) == 0 && ::mkdtemp(name))
        m_path = name;
#endif
}

OtherFileSystemDir::~OtherFileSystemDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

TempDir::TempDir() : m_path(MakeUniqueFolder(fs::temp_directory_path(), "quirefold-test-")) {}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

bool Exists(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void IsolateEnvironment()
{
    if (!g_environmentRoot.empty())
        return;
    const fs::path root = MakeUniqueFolder(fs::temp_directory_path(), "quirefold-env-");
    g_environmentRoot = root;
    g_environmentOwner = getpid();
    std::atexit(RemoveEnvironment);
    // Temporary folders of the tests (and of anything they start) live in here as well, so
    // one removal at exit takes whatever a test could not remove itself.
    const std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_RUNTIME_DIR", "runtime"},
        {"TMPDIR", "tmp"},
#ifdef _WIN32
        // Where Windows looks for the temporary folder.
        {"TMP", "tmp"},
        {"TEMP", "tmp"},
#endif
    };
    for (const auto& [name, sub] : folders) {
        fs::path p = root / sub;
        fs::create_directories(p);
        fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace);
        SetEnv(name, p.string());
    }
#ifndef _WIN32
    // The trash works on the local file system alone, without the desktop's file services.
    SetEnv("GIO_USE_VFS", "local");
#endif
    IsolateRegistry();
}

void SetEnv(const std::string& name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

} // namespace testsupport
