#pragma once

// Copies one item - a file, a link or a folder with everything in it - to a new name, keeping
// what cp -a keeps: contents with their holes, extended attributes and ACLs, times, the owner
// where allowed (set-user-ID and set-group-ID only with it) and hard links within the item.
// Relative links that lead out of the item are made absolute so that they still lead to the
// same file. Folders stay private and writable until the whole item is in; a failed or
// cancelled copy removes everything it made.

#include "shell/namespace/ItemMetadata.h"
#include "shell/namespace/JobProgress.h"
#include "shell/namespace/MoveRecord.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fileop {

// A hidden name for a copy being built in folder, naming the job's process:
// ".quirefold-part-<pid>-<host><random>".
std::string PartPath(const std::string& folder);
// Removes what jobs of processes that no longer run on this machine left half built in folder.
void SweepDeadParts(const std::string& folder);
// Removes a copy this program made, making its folders writable first. True when it is gone.
bool RemoveCopy(const std::string& path);
// The bytes of the regular files in an item, holes included, without following links.
std::uint64_t ItemBytes(const std::string& path, const std::atomic<bool>& cancelled);

} // namespace fileop

class TTreeCopier
{
public:
    // Called before each entry with its source path and 0, and after each block of a file with
    // the bytes of it copied so far.
    using Step = std::function<void(const std::string& path, std::uint64_t done)>;

    struct Note
    {
        std::string path;
        std::string message;
    };
    // An entry copied without some of its metadata.
    struct Loss
    {
        std::string path;
        std::vector<TItemMetadata::Dropped> dropped;
    };

    TTreeCopier(const std::atomic<bool>& cancelled, TJobProgress& progress, Step step);

    // For a move: every entry copied goes into record, and an item that is or holds a mounted
    // volume is refused (its copy would leave the volume's contents behind or empty it).
    void RecordInto(TMoveRecord* record) { m_record = record; }
    // The copy stays in the source's own folder: its relative links lead where they did.
    void KeepLinksAsTheyAre(bool keep) { m_keepLinks = keep; }

    // Copies source to target, a free name. On failure or cancel removes whatever it made;
    // Failure() then says why (nothing when cancelled).
    bool Copy(const std::string& source, const std::string& target);

    const Note& Failure() const { return m_failure; }
    const std::vector<Loss>& Losses() const { return m_losses; }

private:
    struct Folder
    {
        std::string source;
        std::string target;
        TItemMetadata metadata;
    };

    bool CopyEntry(int fromDir, int toDir, const std::string& fromName, const std::string& toName,
                   const std::string& from, const std::string& to, std::size_t parent);
    bool CopyFile(int fromDir, int toDir, const std::string& fromName, const std::string& toName,
                  const std::string& from, const std::string& to, std::size_t parent);
    bool CopyContents(int in, int out, const struct stat& st, const std::string& from);
    bool CopyRange(int in, int out, std::uint64_t offset, std::uint64_t length,
                   const std::string& from, std::uint64_t& fileDone);
    bool CopyLink(int fromDir, int toDir, const std::string& fromName, const std::string& toName,
                  const std::string& from, const std::string& to, const struct stat& st,
                  std::size_t parent);
    bool CopyFolder(int fromDir, int toDir, const std::string& fromName, const std::string& toName,
                    const std::string& from, const std::string& to, std::size_t parent);
    bool FinishFolders();
    std::string LinkTarget(const std::string& from, std::string target) const;
    bool IsMountedVolume(int fd, const struct stat& st, bool top) const;
    std::string ChangedText() const;
    void NoteLosses(const std::string& from, std::vector<TItemMetadata::Dropped> dropped);
    bool Fail(const std::string& path, int error);
    bool Fail(const std::string& path, const std::string& message);

    const std::atomic<bool>& m_cancelled;
    TJobProgress& m_progress;
    Step m_step;
    TMoveRecord* m_record = nullptr;
    bool m_keepLinks = false;

    std::string m_source;
    bool m_madeTarget = false;
    std::string m_root; // the source, absolute, its folder free of links
    dev_t m_rootDevice = 0;
    dev_t m_parentDevice = 0;
    bool m_withoutInheritedAcls = false;
    bool m_copyRange = true; // copy_file_range works between these file systems
    std::unique_ptr<char[]> m_buffer;
    std::map<std::pair<dev_t, ino_t>, std::string> m_linked; // files with more names: first copy
    std::vector<Folder> m_folders; // metadata given once the whole item is in
    Note m_failure;
    std::vector<Loss> m_losses;
};
