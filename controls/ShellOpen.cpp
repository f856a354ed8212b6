#include "controls/ShellOpen.h"

#include <utility>

#ifdef _WIN32
#include "support/DesktopOpener.h"

#include <QApplication>
#include <QByteArray>
#include <QWidget>
#else
#include "support/DesktopOpener.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#endif

namespace {

std::function<void(const QString&)>& Handler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

#ifdef _WIN32

void DesktopOpen(const QString& target)
{
    QWidget* active = QApplication::activeWindow();
    DesktopOpenRequest request;
    request.OwnerWindow = active ? reinterpret_cast<void*>(active->window()->winId()) : nullptr;
    request.Verb = "open";
    // Hidden as the programs have always asked; browsers and mail programs show their own
    // windows regardless.
    request.Hidden = true;
    OpenWithDesktop(target.toLocal8Bit().toStdString(), request);
}

#else

QUrl DesktopUrl(const QString& target)
{
    if (target.isEmpty())
        return QUrl();
    // A scheme has two or more characters, so "C:" never passes for one.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch())
        return QUrl(target, QUrl::TolerantMode);
    // Anything else is a file, relative to the working folder as the shell takes it.
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

void DesktopOpen(const QString& target)
{
    const QUrl url = DesktopUrl(target);
    // A page goes where it never comes back to this program, should the desktop hand pages to it.
    const std::string path =
        url.isLocalFile() ? QFile::encodeName(url.toLocalFile()).toStdString() : std::string();
    if (IsPageName(path)) {
        OpenWithDesktop(path);
        return;
    }
    QDesktopServices::openUrl(url);
}

#endif

} // namespace

void ShellOpen(const QString& target)
{
    if (const auto& handler = Handler()) {
        handler(target);
        return;
    }
    DesktopOpen(target);
}

void SetShellOpenHandler(std::function<void(const QString&)> handler)
{
    Handler() = std::move(handler);
}
