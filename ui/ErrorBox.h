#pragma once

#include "ui/ErrorBoxText.h"

#include <QString>
#include <exception>

class QWidget;

// The caption of the error box: the program's title, whatever the application is named.
inline constexpr const char* kErrorBoxCaption = "Quirefold";

// Shows the error box for a failure: stop icon, OK, caption "Quirefold", the message as
// ErrorBoxText makes it, object name "ErrorBox". Without a parent the active window owns it.
// Returns when the user has closed it.
void ShowErrorBox(QWidget* parent, const QString& message);
inline void ShowErrorBox(const QString& message)
{
    ShowErrorBox(nullptr, message);
}

// Runs action; true when an exception escaped it, with its message in message (empty for
// anything that is no error object).
template <typename Action> bool CatchFailure(Action&& action, QString& message)
{
    try {
        action();
        return false;
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        message.clear();
    }
    return true;
}

// Runs one event handler: what escapes it is shown in the error box and goes no further, since
// no exception may travel on into Qt's event loop. Every handler of the windows runs in one.
template <typename Handler> void Guarded(QWidget* parent, Handler&& handler) noexcept
{
    try {
        QString message;
        if (CatchFailure(handler, message))
            ShowErrorBox(parent, message);
    } catch (...) {
        // Nothing more can be shown.
    }
}

// The same, with the active window as the box's owner.
template <typename Handler> void RunGuarded(Handler&& handler) noexcept
{
    Guarded(nullptr, handler);
}
