#pragma once

#include "controls/ErrorBoxText.h"

#include <QString>
#include <functional>

class QWidget;

// The caption of the error box: the application title.
inline constexpr const char* kErrorBoxCaption = "Quirefold";

// Shows the error box for a failure that escaped a handler: stop icon, OK, caption
// "Quirefold". Returns when the user has closed it.
void ShowErrorBox(const QString& message);

// Runs action; an exception that escapes it is shown in the error box and the program
// carries on. Every handler of the windows runs through this.
void RunGuarded(const std::function<void()>& action);

// Runs action; true when an exception escaped it, with its message in message (empty for
// anything that is no error object).
bool CatchFailure(const std::function<void()>& action, QString& message);
