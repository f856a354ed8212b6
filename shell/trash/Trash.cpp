#include "shell/trash/Trash.h"

#if defined(__linux__)
// GIO first: its structures have a member named "signals", which Qt headers would turn into a
// keyword.
#include <gio/gio.h>
#else
#include <QFile>
#endif

namespace trash {

#if defined(__linux__)

TResult MoveToTrash(const std::string& path)
{
    // The local file system only: no desktop services to start, the same on every desktop.
    GFile* file = g_vfs_get_file_for_path(g_vfs_get_local(), path.c_str());
    GError* error = nullptr;
    TResult result;
    if (g_file_trash(file, nullptr, &error)) {
        result.outcome = TOutcome::Trashed;
    } else {
        // GIO says "not supported" exactly when the volume has no usable trash; any other
        // failure (no permission, the home trash cannot be made) must not lead to a delete.
        result.outcome = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED)
                             ? TOutcome::NoTrash
                             : TOutcome::Failed;
        result.message = error ? error->message : "It could not be moved to the trash.";
        g_clear_error(&error);
    }
    g_object_unref(file);
    return result;
}

#else

TResult MoveToTrash(const std::string& path)
{
    TResult result;
    if (QFile::moveToTrash(QFile::decodeName(QByteArray::fromStdString(path)))) {
        result.outcome = TOutcome::Trashed;
    } else {
        result.outcome = TOutcome::Failed;
        result.message = "It could not be moved to the trash.";
    }
    return result;
}

#endif

} // namespace trash
