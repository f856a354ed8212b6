#pragma once

#include <QString>

// The text of the programs' error box: the message, with "." added when it is not empty and
// its last character sorts after "." (a letter gets a full stop; ".", "!" and ")" do not).
QString ErrorBoxText(const QString& message);
