#pragma once

#include <QApplication>

// The application object: an exception that escapes the handling of any event ends in the
// error box instead of ending the program.
class TQuirefoldApplication : public QApplication
{
    Q_OBJECT
public:
    TQuirefoldApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
