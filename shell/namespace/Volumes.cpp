#include "shell/namespace/Volumes.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/NameBytes.h"
#include "shell/namespace/ShellNamespace.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace portable {

namespace {
int g_flushLock = 0;
bool g_volumesValid = false;
std::vector<Volume> g_volumes;
} // namespace

const std::vector<Volume>& Volumes()
{
    if (g_volumesValid)
        return g_volumes;
    g_volumes.clear();
    std::string homeRoot = PathBytes(QStorageInfo(QDir::homePath()).rootPath());
    Volume rootVolume{"/", "File System", false};
    g_volumes.push_back(rootVolume);
    std::vector<Volume> others;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        std::string root = PathBytes(info.rootPath());
        if (root == "/")
            continue;
        bool removable = info.device().startsWith("/dev/") &&
                         (StartsWith(root, "/media/") || StartsWith(root, "/run/media/") ||
                          StartsWith(root, "/mnt/"));
        if (!removable && root != homeRoot)
            continue;
        std::string name = PathBytes(info.name());
        if (name.empty())
            name = PathBytes(QFileInfo(info.rootPath()).fileName());
        if (std::none_of(others.begin(), others.end(),
                         [&](const Volume& v) { return v.root == root; }))
            others.push_back({root, name, removable});
    }
    std::sort(others.begin(), others.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    g_volumes.insert(g_volumes.end(), others.begin(), others.end());
    g_volumesValid = true;
    return g_volumes;
}

const Volume* FindVolume(std::string_view root)
{
    for (const Volume& volume : Volumes()) {
        if (volume.root == root)
            return &volume;
    }
    return nullptr;
}

} // namespace portable

void FlushDriveInfoCache()
{
    if (portable::g_flushLock > 0)
        return;
    portable::g_volumesValid = false;
}

void LockFlushDriveInfoCache()
{
    ++portable::g_flushLock;
}
void UnlockFlushDriveInfoCache()
{
    if (portable::g_flushLock > 0)
        --portable::g_flushLock;
}
