#include "tests/common/TestSupport.h"

#include <cstdlib>
#include <fstream>
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
} // namespace

TempDir::TempDir() : m_path(MakeUniqueFolder(fs::temp_directory_path(), "quirefold-test-")) {}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so removal succeeds.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
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
    static fs::path root = MakeUniqueFolder(fs::temp_directory_path(), "quirefold-env-");
    const std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_RUNTIME_DIR", "runtime"},
    };
    for (const auto& [name, sub] : folders) {
        fs::path p = root / sub;
        fs::create_directories(p);
        fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace);
        setenv(name, p.c_str(), 1);
    }
}

} // namespace testsupport
