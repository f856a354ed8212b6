#pragma once

// Makes the desktop program's bundled files (icons, pictures, help pages) readable under ":/".
// They live in a static library, whose resources are not registered by themselves; every
// user of a resource calls this first. Calling it again does nothing.
void UseDesktopResources();
