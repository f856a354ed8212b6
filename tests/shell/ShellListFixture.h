#pragma once

// A shell file list in a real (offscreen) window over a temporary folder, with the gestures a
// user makes on it.

#include "shell/namespace/ChangeHandlerThread.h"
#include "shell/widgets/FileJobRunner.h"
#include "shell/widgets/PTShellList.h"
#include "tests/common/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLocale>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace shelltest {

namespace fs = std::filesystem;
using NameList = std::vector<std::string>;

class ShellListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        list = std::make_unique<TPTShellList>();
        list->resize(640, 400);
        list->SetMultiSelect(true);
        list->SetViewStyle(vsList);
        list->SetFileFilter(QStringLiteral("*.htm;*.html"));
        list->show();
        list->SetOpenHandler([this](const std::string& path) {
            opened << QString::fromStdString(path);
            openedPaths.push_back(path);
            return true;
        });
        QObject::connect(
            list.get(), &TPTCustomShellList::OnError,
            [this](TPTCustomShellList*, const QString& message) { errors << message; });
    }

    void Show(const fs::path& folder) { list->Folder().SetPathName(folder.string()); }

    void Files(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            testsupport::WriteAll(dir.Path() / name, "");
    }

    NameList Names() const
    {
        NameList names;
        for (int i = 0; i < list->ItemCount(); ++i)
            names.push_back(list->ItemCaption(i).toStdString());
        return names;
    }

    int Row(const std::string& name) const
    {
        for (int i = 0; i < list->ItemCount(); ++i) {
            if (list->ItemCaption(i).toStdString() == name)
                return i;
        }
        return -1;
    }

    void Select(std::initializer_list<std::string> names)
    {
        for (int i = 0; i < list->ItemCount(); ++i)
            list->SetItemSelected(i, false);
        for (const std::string& name : names) {
            ASSERT_GE(Row(name), 0) << name;
            list->SetItemSelected(Row(name), true);
        }
    }

    QPoint Centre(const std::string& name) const
    {
        QAbstractItemView* view = list->View();
        QApplication::processEvents();
        return view->visualRect(view->model()->index(Row(name), 0)).center();
    }

    void DoubleClick(const std::string& name)
    {
        ASSERT_GE(Row(name), 0) << name;
        QAbstractItemView* view = list->View();
        QPoint point = Centre(name);
        ASSERT_TRUE(view->viewport()->rect().contains(point)) << name;
        // A real double-click: the first press selects, the second comes as a double-click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, point);
    }

    void PressEnter(std::initializer_list<std::string> names)
    {
        Select(names);
        QTest::keyClick(list->View(), Qt::Key_Return);
    }

    void Focus()
    {
        list->activateWindow();
        list->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->View()->hasFocus(); }, 5000));
    }

    // Copies, moves and links run in the background: waits until each has ended and the list
    // has taken in its result.
    static void WaitForFileJobs()
    {
        ASSERT_TRUE(QTest::qWaitFor([] { return TFileJobRunner::RunningCount() == 0; }, 60000));
        QApplication::processEvents();
    }

    // The messages shown so far, one a line.
    std::string Messages() const { return errors.join(QLatin1Char('\n')).toStdString(); }

    // The watcher's notice of a change in the shown folder.
    void PostChangeNotice()
    {
        QApplication::postEvent(list.get(), new TShellMessageEvent(AM_CHANGENOTIFY, 0, 0));
        QApplication::processEvents();
    }

    testsupport::TempDir dir;
    std::unique_ptr<TPTShellList> list;
    QStringList opened;
    std::vector<std::string> openedPaths; // byte for byte
    QStringList errors;
};

} // namespace shelltest
