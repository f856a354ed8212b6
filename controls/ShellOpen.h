#pragma once

#include <QString>
#include <functional>

// Opens an address ("https:", "mailto:", ...) or a file with the desktop's default handler: the
// windows' requests, which may be addresses typed as text. Code that holds a file's path as bytes
// (the file list, quirefold-split) calls OpenWithDesktop (support/DesktopOpener.h) directly,
// which this uses on Windows too, and for pages (*.htm, *.html) elsewhere: those go to the web
// browser should the desktop hand pages to this program. Failures are not reported.
void ShellOpen(const QString& target);

// Tests see the requests instead: with a handler set, each target goes to it unchanged and
// nothing is opened. An empty function goes back to the desktop.
void SetShellOpenHandler(std::function<void(const QString&)> handler);
