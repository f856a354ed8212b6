#pragma once

// The desktop, root of the namespace, with Computer below it.

#include "shell/namespace/ShellNamespace.h"

namespace portable {

TShellFolderPtr NewDesktopFolder();

} // namespace portable
