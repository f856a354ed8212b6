#include "controls/FormLoading.h"

#include <QList>
#include <QPointer>
#include <QWidget>

void NotifyLoaded(QWidget* form)
{
    if (!form)
        return;
    // findChildren walks depth first in child order, which is the order setupUi creates them.
    // Guarded pointers, because a Loaded() may delete a widget that comes later.
    QList<QPointer<QWidget>> widgets;
    for (QWidget* widget : form->findChildren<QWidget*>())
        widgets.append(widget);
    for (const QPointer<QWidget>& widget : widgets) {
        if (auto* loadable = dynamic_cast<TLoadable*>(widget.data()))
            loadable->Loaded();
    }
}
