#pragma once

// File operations of the namespace: copy, move, trash, rename and link, run as jobs. A job works
// item by item, records an error per item that fails and goes on with the next, can be
// cancelled between items, never replaces an existing entry and never removes a source before
// its copy is complete on disk.

#include "shell/namespace/JobProgress.h"
#include "shell/namespace/MoveRecord.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace fileop {

// rename(2) that fails with EEXIST instead of replacing the target. Returns 0 or -1 (errno).
int RenameNoReplace(const std::string& from, const std::string& to);
// What RenameNoReplace does where the kernel cannot refuse to replace by itself (a hard link,
// or a placeholder of the same kind that only the rename replaces). Never leaves two names.
int RenameNoReplaceFallback(const std::string& from, const std::string& to);

// The name a copy gets when the name is taken, as file managers name them: attempt 0 is the name
// itself, 1 "name (copy).ext", n "name (copy n).ext". Folders keep their dots. The name is
// shortened before its suffix, on a character boundary, to fit maxBytes.
std::string CopyName(std::string_view name, int attempt, bool folder, std::size_t maxBytes = 255);
// The name a link gets: attempt 0 the name itself, 1 "Link to name.ext", n "Link to name (n).ext".
std::string LinkName(std::string_view name, int attempt, bool folder, std::size_t maxBytes = 255);

// A name a folder item may take: not empty, no separator, not "." or "..".
bool IsValidItemName(std::string_view name);

// The path without empty or "." parts and without trailing slashes, which name the same item
// ("/a//sub/./" is "/a/sub"); ".." stays, as only the file system knows where it leads.
std::string ItemPath(std::string_view path);

// Whether path is the folder itself or lies inside it (after resolving links).
bool IsSameOrInside(const std::string& path, const std::string& folder);

} // namespace fileop

class TFileOperation
{
public:
    enum Kind
    {
        foCopy,
        foMove,
        foTrash,
        foRename,
        foLink
    };

    struct Error
    {
        std::string path; // the source it concerns
        std::string message;
    };

    // Copy, move and link put the sources into the destination folder; trash needs none; rename
    // gives its one source the destination as its new name in the same folder.
    TFileOperation(Kind kind, std::vector<std::string> sources, std::string destination = {});

    // Runs every item; true when all of them succeeded (and nothing was cancelled).
    bool Run();
    // Safe from any thread: the job stops before its next item and before the next block
    // of a file; what was half copied is removed, the source stays.
    void Cancel() { m_cancelled = true; }
    bool Cancelled() const { return m_cancelled; }

    enum class DeleteAnswer
    {
        No,
        Yes,
        NoToAll,
        YesToAll
    };
    // Asked before an item that cannot be moved to the trash (its volume has none) is deleted
    // for good; more tells whether other items follow. Without it such items stay.
    void SetConfirmDelete(std::function<DeleteAnswer(const std::string& path, bool more)> confirm)
    {
        m_confirmDelete = std::move(confirm);
    }

    // Called before each item with its source path.
    void SetProgress(std::function<void(const std::string&)> progress)
    {
        m_progress = std::move(progress);
    }
    // Called on the job's thread while items are copied: before each entry (file, folder, link)
    // with its source path and 0, after each block of a file with the bytes of it copied so far.
    // It may Cancel.
    void SetCopyProgress(std::function<void(const std::string& path, std::uint64_t done)> progress)
    {
        m_copyProgress = std::move(progress);
    }
    // Safe to read from any thread while the job runs.
    const TJobProgress& Progress() const { return m_jobProgress; }

    Kind GetKind() const { return m_kind; }
    const std::vector<Error>& Errors() const { return m_errors; }
    // The paths the items now have (copies, moved items, renamed items, links), in order.
    const std::vector<std::string>& Results() const { return m_results; }
    // The errors as lines of text, "name: reason" (a path from the item for what lies inside).
    std::string ErrorText() const;
    // What went right with a reservation: metadata a copy could not keep, sources a move kept.
    const std::vector<Error>& Warnings() const { return m_warnings; }
    std::string WarningText() const;
    // The sources a move left in place, whole or in part (their copies are among the results).
    const std::vector<std::string>& KeptSources() const { return m_keptSources; }

private:
    bool RunItem(const std::string& source);
    bool TrashItem(const std::string& source);
    bool CopyOrMove(const std::string& source, bool move);
    bool Place(const std::string& temp, std::string_view name, bool folder, std::string& placed);
    bool FinishMoves();
    std::string DisplayName(const std::string& path) const;
    bool Fail(const std::string& path, int error);
    bool Fail(const std::string& path, const std::string& message);

    Kind m_kind;
    std::vector<std::string> m_sources;
    std::string m_destination;
    std::atomic<bool> m_cancelled{false};
    std::function<void(const std::string&)> m_progress;
    std::function<DeleteAnswer(const std::string&, bool)> m_confirmDelete;
    DeleteAnswer m_deleteToAll = DeleteAnswer::No; // No until a "to all" answer
    bool m_moreItems = false;
    std::vector<Error> m_errors;
    std::vector<std::string> m_results;
    std::string m_current;
    std::function<void(const std::string&, std::uint64_t)> m_copyProgress;
    TJobProgress m_jobProgress;
    std::vector<Error> m_warnings;
    std::vector<std::string> m_keptSources;
    bool m_swept = false;
    // Moves across file systems whose copies are in place: their sources go after one syncfs.
    struct PendingMove
    {
        std::string source;
        std::unique_ptr<TMoveRecord> record;
    };
    std::vector<PendingMove> m_pendingMoves;
};
