#include "shell/namespace/MoveRecord.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

bool SameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

const char* const changedText = "It changed while it was moved; it was kept.";

} // namespace

std::size_t TMoveRecord::Add(const std::string& path, const struct stat& st, std::size_t parent)
{
    m_entries.push_back({path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, st.st_mode,
                         !S_ISDIR(st.st_mode) && st.st_nlink > 1, parent});
    return m_entries.size() - 1;
}

TMoveRecord::Check TMoveRecord::Compare(const Entry& entry, int& error) const
{
    struct stat st;
    if (::lstat(entry.path.c_str(), &st) != 0) {
        error = errno;
        return error == ENOENT || error == ENOTDIR ? Check::Gone : Check::Failed;
    }
    if (st.st_dev != entry.device || st.st_ino != entry.inode ||
        (st.st_mode & S_IFMT) != (entry.mode & S_IFMT) || st.st_size != entry.size ||
        !SameTime(st.st_mtim, entry.mtime) || !SameTime(st.st_ctim, entry.ctime))
        return Check::Changed;
    return Check::Same;
}

std::vector<TMoveRecord::Kept> TMoveRecord::RemoveUnchanged()
{
    std::vector<Kept> kept;
    const std::size_t count = m_entries.size();
    std::vector<char> holdsKept(count, 0);
    auto keep = [&](std::size_t i, std::string reason) {
        if (!reason.empty())
            kept.push_back({m_entries[i].path, std::move(reason)});
        if (m_entries[i].parent != noParent)
            holdsKept[m_entries[i].parent] = 1;
    };
    auto cannotRemove = [](int error) {
        return std::string("It was copied but could not be removed: ") + std::strerror(error) + ".";
    };

    // Folders are checked before anything in them goes, as that changes them.
    std::vector<Check> folderChecks(count, Check::Same);
    std::vector<int> folderErrors(count, 0);
    // The names of one file within the tree go together: removing one changes the others' ctime.
    std::map<std::pair<dev_t, ino_t>, std::vector<std::size_t>> linkGroups;
    for (std::size_t i = 0; i < count; ++i) {
        const Entry& entry = m_entries[i];
        if (S_ISDIR(entry.mode))
            folderChecks[i] = Compare(entry, folderErrors[i]);
        else if (entry.linked)
            linkGroups[{entry.device, entry.inode}].push_back(i);
    }

    std::vector<char> done(count, 0);
    for (std::size_t i = count; i-- > 0;) {
        if (done[i])
            continue;
        const Entry& entry = m_entries[i];
        if (S_ISDIR(entry.mode)) {
            switch (folderChecks[i]) {
            case Check::Gone:
                continue;
            case Check::Changed:
                keep(i, "Its contents changed while it was moved; it was kept.");
                continue;
            case Check::Failed:
                keep(i, cannotRemove(folderErrors[i]));
                continue;
            case Check::Same:
                break;
            }
            if (::rmdir(entry.path.c_str()) == 0 || errno == ENOENT)
                continue;
            if (errno == ENOTEMPTY || errno == EEXIST)
                keep(i, holdsKept[i] ? std::string()
                                     : "Items were added to it while it was moved; it was kept.");
            else
                keep(i, cannotRemove(errno));
            continue;
        }
        std::vector<std::size_t> names{i};
        if (entry.linked)
            names = linkGroups[{entry.device, entry.inode}];
        std::vector<Check> checks;
        std::vector<int> errors(names.size(), 0);
        for (std::size_t n = 0; n < names.size(); ++n)
            checks.push_back(Compare(m_entries[names[n]], errors[n]));
        for (std::size_t n = 0; n < names.size(); ++n) {
            std::size_t index = names[n];
            done[index] = 1;
            switch (checks[n]) {
            case Check::Gone:
                break;
            case Check::Changed:
                keep(index, changedText);
                break;
            case Check::Failed:
                keep(index, cannotRemove(errors[n]));
                break;
            case Check::Same:
                if (::unlink(m_entries[index].path.c_str()) != 0 && errno != ENOENT)
                    keep(index, cannotRemove(errno));
                break;
            }
        }
    }
    return kept;
}
