#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// A folder that lives as long as the object; removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// A folder on another file system than the temporary folders (memory, /dev/shm, where those are
// on disk) that any user can reach, removed with everything in it. Empty where the machine has
// none; tests then skip what needs it.
class OtherFileSystemDir
{
public:
    OtherFileSystemDir();
    ~OtherFileSystemDir();
    OtherFileSystemDir(const OtherFileSystemDir&) = delete;
    OtherFileSystemDir& operator=(const OtherFileSystemDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    bool Usable() const { return !m_path.empty(); }

private:
    std::filesystem::path m_path;
};

// Removes a folder with everything in it, making read-only folders writable first.
void RemoveTree(const std::filesystem::path& root);

std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& bytes);
bool Exists(const std::filesystem::path& path);

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and TMPDIR (so every TempDir)
// at a private folder so that no test touches the user's real settings or files, and removes
// that folder when the program exits. On Windows every test also gets a private registry
// (tests/common/PrivateRegistry.h). Called once by every test main.
void IsolateEnvironment();

// Sets an environment variable of this process (there is no setenv on Windows).
void SetEnv(const std::string& name, const std::string& value);

} // namespace testsupport
