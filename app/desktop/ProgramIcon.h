#pragma once

#include <QIcon>

// The program's icon, drawn at 16, 32, 48, 64, 128 and 256 pixels
// (":/icons/quirefold-<size>.png"); each window shows the size that fits best.
QIcon ProgramIcon();
