#include "controls/ShellOpen.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs windows.h first.
#include <QApplication>
#include <QByteArray>
#include <QWidget>
#include <shellapi.h>
#else
#include <QDesktopServices>
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
    HWND owner = active ? reinterpret_cast<HWND>(active->window()->winId()) : nullptr;
    const QByteArray file = target.toLocal8Bit();
    // SW_HIDE as the programs have always passed it; browsers and mail programs show their
    // own windows regardless.
    ShellExecuteA(owner, "open", file.constData(), "", "", SW_HIDE);
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
    QDesktopServices::openUrl(DesktopUrl(target));
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
