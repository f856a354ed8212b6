#pragma once

// What the parts of the file list share inside the widgets layer.

#include "shell/widgets/PTShellList.h"

#include <QApplication>
#include <QFile>
#include <QString>
#include <exception>
#include <string>
#include <vector>

namespace shelllist {

inline QString FromBytes(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Shows the busy cursor for as long as it lives.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
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
