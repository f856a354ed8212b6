#include "app/desktop/ProgramIcon.h"

#include "app/desktop/DesktopResources.h"

#include <QString>

QIcon ProgramIcon()
{
    UseDesktopResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quirefold-%1.png").arg(size), QSize(size, size));
    return icon;
}
