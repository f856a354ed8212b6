#pragma once

// File operations of the namespace: copy, move, trash, rename and link, run as jobs. A job works
// item by item, records an error per item that fails and goes on with the next, can be
// cancelled between items, never replaces an existing entry and never removes a source before
// its copy is complete on disk.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace fileop {

// rename(2) that fails with EEXIST instead of replacing the target. Returns 0 or -1 (errno).
int RenameNoReplace(const std::string& from, const std::string& to);

// The name a copy gets when the name is taken, as file managers name them: attempt 0 is the name
// itself, 1 "name (copy).ext", n "name (copy n).ext". Folders keep their dots.
std::string CopyName(std::string_view name, int attempt, bool folder);

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

    Kind GetKind() const { return m_kind; }
    const std::vector<Error>& Errors() const { return m_errors; }
    // The paths the items now have (copies, moved items, renamed items, links), in order.
    const std::vector<std::string>& Results() const { return m_results; }
    // The errors as lines of text, "name: reason".
    std::string ErrorText() const;

private:
    bool RunItem(const std::string& source);
    bool TrashItem(const std::string& source);
    bool CopyOrMove(const std::string& source, bool move);
    bool Place(const std::string& temp, std::string_view name, bool folder, std::string& placed);
    bool CopyTree(const std::string& from, const std::string& to, bool top);
    bool CopyFile(const std::string& from, const std::string& to, const struct stat& st);
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
};
