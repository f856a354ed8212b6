#pragma once

// The desktop's trash, by the path's own bytes: nothing is decoded to text on the way, so the
// item trashed is always the one named, whatever its name holds.

#include <string>

namespace trash {

enum class TOutcome
{
    Trashed,
    // This volume has no trash and cannot have one (a system-internal mount such as a tmpfs,
    // a volume where none can be made): only the user may decide to delete the item for good.
    NoTrash,
    Failed
};

struct TResult
{
    TOutcome outcome = TOutcome::Failed;
    std::string message; // why, when not trashed
};

// Moves a file, a folder or a link (never what it points to) to the trash of its volume.
TResult MoveToTrash(const std::string& path);

} // namespace trash
