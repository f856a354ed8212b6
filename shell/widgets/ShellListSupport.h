#pragma once

// What the parts of the file list share inside the widgets layer.

#include "shell/namespace/NameBytes.h"
#include "shell/widgets/PTShellList.h"

#include <QApplication>
#include <QString>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace shelllist {

// Shows the busy cursor for as long as it lives.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // The normal cursor back while the user is asked something.
    class Pause
    {
    public:
        Pause() : m_paused(QApplication::overrideCursor() != nullptr)
        {
            if (m_paused)
                QApplication::restoreOverrideCursor();
        }
        ~Pause()
        {
            if (m_paused)
                QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        bool m_paused;
    };
};

// Runs an action when it goes out of scope, or earlier when asked, but once.
template <typename F> class ScopeExit
{
public:
    explicit ScopeExit(F action) : m_action(std::move(action)) {}
    ~ScopeExit() { Run(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void Run()
    {
        if (!m_done) {
            m_done = true;
            m_action();
        }
    }

private:
    F m_action;
    bool m_done = false;
};

// Widths of the columns, remembered across folders and lists.
std::vector<int>& RememberedColumnWidths();

} // namespace shelllist

template <typename F> void TPTCustomShellList::Guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        ReportError(QString::fromStdString(error.what()));
    }
}
