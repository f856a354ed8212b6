#include "shell/namespace/ShellShortcut.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

HResult ResolveShortcut(const std::string& path, TLinkData& data, bool withIdList)
{
    data = TLinkData();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return HResultFromErrno(errno);
    if (!S_ISLNK(st.st_mode))
        return kEInvalidArg;
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0)
        return HResultFromErrno(errno);
    std::string target(buffer.data(), static_cast<std::size_t>(length));
    if (target.empty())
        return kEInvalidArg;
    if (target[0] != '/') {
        std::string folder = path.substr(0, path.find_last_of('/') + 1);
        target = folder + target;
    }
    // Follow further links so that the target is the folder or file itself.
    char resolved[PATH_MAX];
    if (!::realpath(target.c_str(), resolved))
        return HResultFromErrno(errno);
    target = resolved;
    struct stat targetStat;
    if (::stat(target.c_str(), &targetStat) != 0)
        return HResultFromErrno(errno);

    data.pathName = target;
    data.workingDirectory = target.substr(0, target.find_last_of('/') + 1);
    if (data.workingDirectory.size() > 1)
        data.workingDirectory.pop_back();
    data.showCommand = 1; // SW_SHOWNORMAL
    TFindData& find = data.findData;
    find.attributes =
        S_ISDIR(targetStat.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (::access(target.c_str(), W_OK) != 0 && errno == EACCES)
        find.attributes |= FILE_ATTRIBUTE_READONLY;
    find.size = S_ISDIR(targetStat.st_mode) ? 0 : static_cast<std::uint64_t>(targetStat.st_size);
    find.creationTime = targetStat.st_ctime;
    find.lastAccessTime = targetStat.st_atime;
    find.lastWriteTime = targetStat.st_mtime;
    find.fileName = target.substr(target.find_last_of('/') + 1);
    data.options =
        ldoUseDesc | ldoUseArgs | ldoUseIcon | ldoUseWorkDir | ldoUseHotKey | ldoUseShowCmd;
    if (withIdList) {
        HResult hr = ShellGetIdListFromPath(target, data.idList);
        if (Failed(hr))
            return hr;
    }
    return kSOk;
}
