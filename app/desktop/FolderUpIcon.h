#pragma once

#include <QIcon>

// The glyph of the main window's Up button: a yellow folder with an arrow pointing up, drawn
// at 20 x 17 pixels and at twice that for dense screens.
QIcon FolderUpIcon();
