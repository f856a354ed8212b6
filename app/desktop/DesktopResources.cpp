#include "app/desktop/DesktopResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterDesktopResources()
{
    Q_INIT_RESOURCE(desktop);
}

void UseDesktopResources()
{
    static const bool registered = (RegisterDesktopResources(), true);
    (void)registered;
}
