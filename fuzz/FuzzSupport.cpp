#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <stdlib.h>
#include <vector>

namespace fs = std::filesystem;

namespace fuzzsupport {

namespace {

std::vector<fs::path>& Folders()
{
    static std::vector<fs::path> folders;
    return folders;
}

void RemoveFolders()
{
    for (const fs::path& folder : Folders()) {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
}

} // namespace

fs::path PrivateFolder(const char* prefix)
{
    std::string pattern = (fs::temp_directory_path() / prefix).string() + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    if (Folders().empty())
        std::atexit(RemoveFolders);
    Folders().push_back(pattern);
    return pattern;
}

void IsolateEnvironment()
{
    const fs::path root = PrivateFolder("quirefold-fuzz-env-");
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const fs::path folder = root / name;
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
        ::setenv(name, folder.c_str(), 1);
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void Require(const std::string& problem, std::string_view input)
{
    if (problem.empty())
        return;
    std::fprintf(stderr, "Broken rule: %s (input of %zu bytes)\n", problem.c_str(), input.size());
    std::abort();
}

} // namespace fuzzsupport
