#include "app/desktop/QuirefoldApplication.h"

#include "ui/ErrorBox.h"

TQuirefoldApplication::TQuirefoldApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuirefoldApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    QString message;
    if (CatchFailure([&] { handled = QApplication::notify(receiver, event); }, message))
        ShowErrorBox(message);
    return handled;
}
