// quirefold-bench-gui: the desktop program's work, started the way the program starts it and
// ended as soon as the work is done, so bench/gui.sh can time it as a whole process.
//
//   quirefold-bench-gui split DOC FILE split DOC through the main window (first-show split) and
//                                      write the split's own seconds into FILE
//   quirefold-bench-gui startup        main window shown with the stored folder filled
//   quirefold-bench-gui empty          an empty Qt Widgets window shown (the baseline)
//   quirefold-bench-gui batches DOC SECTIONS COUNT FILE
//                                      the window shows DOC's folder, and COUNT times DOC is
//                                      selected and Split! pressed; see RunBatches
//
// With QT_LINUX_ACCESSIBILITY_ALWAYS_ON set the run is meant to have the accessibility bridge
// on: it waits for the bridge before it starts and fails when the bridge never comes up.
#include "app/desktop/DesktopForms.h"
#include "app/desktop/MainForm.h"
#include "controls/ShellOpen.h"
#include "shell/widgets/PTShListData.h"
#include "shell/widgets/PTShellList.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

int Usage()
{
    std::fputs("usage: quirefold-bench-gui split DOC TIMEFILE | startup | empty |\n"
               "                          batches DOC SECTIONS COUNT FILE\n",
               stderr);
    return 2;
}

// Runs the event loop until done() holds; false when it never did within a minute.
template <typename Done> bool RunUntil(Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 60000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The bridge comes up through the event loop once the accessibility bus has answered.
bool BridgeAsAsked()
{
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
        return true;
    QElapsedTimer clock;
    clock.start();
    while (!QAccessible::isActive()) {
        if (clock.elapsed() > 10000) {
            std::fputs("quirefold-bench-gui: QT_LINUX_ACCESSIBILITY_ALWAYS_ON is set but the "
                       "accessibility bridge did not come up (no session bus, no accessibility "
                       "bus, or a platform without the bridge such as offscreen)\n",
                       stderr);
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The process's resident set in KiB.
long ResidentKib()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// The heap the program holds in KiB, whatever malloc keeps for later.
long HeapKib()
{
#ifdef __GLIBC__
    return static_cast<long>(mallinfo2().uordblks / 1024);
#else
    return 0;
#endif
}

// Gives the memory freed so far back to the system, so that the resident set is what the program
// still holds (malloc otherwise keeps what the first batch freed, and the set jumps once).
void ReturnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The list's item whose path is path; -1 when there is none.
int ItemOf(TPTCustomShellList& list, const std::string& path)
{
    for (int i = 0; i < list.ItemCount(); ++i) {
        TPTShListData* data = list.GetShListData(i);
        if (data && data->GetPathNameBytes() == path)
            return i;
    }
    return -1;
}

// What a screen reader's walk of the list costs the program: every item's accessible object
// is asked for its name, as the bridge does when a screen reader asks for the list's children.
// The item objects stay in Qt's cache until their rows go. Returns how many items were read.
int ReadListAsScreenReader(TPTCustomShellList& list)
{
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list.View());
    if (!view)
        return 0;
    const int count = view->childCount();
    for (int i = 0; i < count; ++i) {
        if (QAccessibleInterface* item = view->child(i))
            (void)item->text(QAccessible::Name);
    }
    return count;
}

// The window shows DOC's folder; COUNT times: (with the bridge on, a screen reader has read the
// list,) DOC is selected, Split! pressed, the list waited for until it shows the SECTIONS + 1
// new pages (they arrive while the window shows the folder), and the pages deleted and their
// going waited for, so that the next batch's pages arrive anew.
// FILE gets "bridge 0|1" (whether assistive technology is being served) and one line a batch:
// the seconds from the click to the split's end, the seconds the list worked to show the new
// pages (its refreshes, without the wait before them), and the resident and heap KiB once the
// pages are gone again and freed memory has been given back.
int RunBatches(TMainForm& mainForm, bool& opened, char** argv)
{
    const std::string doc = argv[2];
    const int pages = std::atoi(argv[3]) + 1;
    const int count = std::atoi(argv[4]);
    const QString folder = QFileInfo(QString::fromLocal8Bit(argv[2])).absolutePath();
    auto* list = mainForm.findChild<TPTShellList*>(QStringLiteral("PTShellList1"));
    auto* splitButton = mainForm.findChild<QPushButton*>(QStringLiteral("SplitBtn"));
    if (!list || !splitButton || pages < 2 || count < 1)
        return 1;
    mainForm.show();
    list->Folder().SetPathName(folder.toStdString());
    if (!RunUntil([&] { return ItemOf(*list, doc) >= 0 && !list->ChangeRefreshPending(); })) {
        std::fputs("quirefold-bench-gui: the document is not in the list\n", stderr);
        return 1;
    }
    const int base = list->ItemCount();

    QElapsedTimer fill;
    qint64 fillNsecs = 0;
    QObject::connect(list, &TPTCustomShellList::OnFillStart, list, [&] { fill.start(); });
    QObject::connect(list, &TPTCustomShellList::OnFillComplete, list, [&] {
        if (fill.isValid())
            fillNsecs += fill.nsecsElapsed();
        fill.invalidate();
    });

    std::FILE* report = std::fopen(argv[5], "w");
    if (!report)
        return 1;
    const bool bridge = QAccessible::isActive();
    std::fprintf(report, "bridge %d\n", bridge ? 1 : 0);
    for (int batch = 0; batch < count; ++batch) {
        if (bridge)
            ReadListAsScreenReader(*list);
        list->SetItemSelected(ItemOf(*list, doc), true);
        fillNsecs = 0;
        opened = false;
        QElapsedTimer split;
        split.start();
        splitButton->click(); // returns when the batch has ended
        const double splitSeconds = static_cast<double>(split.nsecsElapsed()) * 1e-9;
        if (!opened) {
            std::fputs("quirefold-bench-gui: the batch did not split the document\n", stderr);
            return 1;
        }
        if (!RunUntil([&] { return list->ItemCount() == base + pages; })) {
            std::fputs("quirefold-bench-gui: the list did not show the new pages\n", stderr);
            return 1;
        }
        const double listSeconds = static_cast<double>(fillNsecs) * 1e-9;

        // The pages leave the folder by a move, not a deletion: ext4 skips inodes freed in the
        // last half minute when it makes a file, which would slow the next batch's pages by
        // whatever the previous one left (quirefold-split's runs move theirs away as well).
        QDir dir(folder);
        const QString away = folder + QStringLiteral("-moved/window-%1-%2")
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(batch);
        QDir().mkpath(away);
        for (const QString& name :
             dir.entryList({QStringLiteral("doc[0-9][0-9][0-9]*.html")}, QDir::Files)) {
            // Emptied, so that the disk space comes back while the inodes stay taken.
            const QString moved = away + QLatin1Char('/') + name;
            dir.rename(name, moved);
            QFile::resize(moved, 0);
        }
        if (!RunUntil([&] { return list->ItemCount() == base && !list->ChangeRefreshPending(); })) {
            std::fputs("quirefold-bench-gui: the list kept the deleted pages\n", stderr);
            return 1;
        }
        ReturnFreedMemory();
        std::fprintf(report, "%.4f %.4f %ld %ld\n", splitSeconds, listSeconds, ResidentKib(),
                     HeapKib());
    }
    return std::fclose(report) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string mode = argv[1];
    if ((mode == "split" && argc != 4) || (mode == "batches" && argc != 6))
        return Usage();
    QApplication app(argc, argv);

    if (mode == "empty") {
        QWidget window;
        window.resize(544, 375);
        window.show();
        QApplication::processEvents();
        // Start-up ends when the window is shown: tearing down is not part of it.
        std::_Exit(window.isVisible() ? 0 : 1);
    }

    // The split ends by opening its result: that is the moment the work is done.
    bool opened = false;
    SetShellOpenHandler([&opened](const QString&) { opened = true; });

    TDesktopForms forms;
    TMainForm* mainForm = forms.MainForm();
    if (!BridgeAsAsked())
        return 1;
    if (mode == "split") {
        // The split's own time: from showing the window, which starts it, to its result.
        QElapsedTimer split;
        split.start();
        mainForm->SetStartFile(argv[2]);
        mainForm->show();
        if (!RunUntil([&] { return opened && !mainForm->Busy(); })) {
            std::fputs("quirefold-bench-gui: the split did not finish\n", stderr);
            return 1;
        }
        const double seconds = static_cast<double>(split.nsecsElapsed()) * 1e-9;
        std::FILE* timeFile = std::fopen(argv[3], "w");
        if (!timeFile)
            return 1;
        std::fprintf(timeFile, "%.4f\n", seconds);
        return std::fclose(timeFile) == 0 ? 0 : 1;
    }
    if (mode == "batches")
        return RunBatches(*mainForm, opened, argv);
    if (mode == "startup") {
        mainForm->show();
        auto* list = mainForm->findChild<TPTShellList*>(QStringLiteral("PTShellList1"));
        if (!list)
            return 1;
        QApplication::processEvents();
        // Shown means the stored folder's files are in the list.
        if (!RunUntil([&] { return list->ItemCount() > 0; })) {
            std::fputs("quirefold-bench-gui: the stored folder was not shown\n", stderr);
            return 1;
        }
        std::_Exit(0);
    }
    return Usage();
}
