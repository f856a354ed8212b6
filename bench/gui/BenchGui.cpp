// quirefold-bench-gui: the desktop program's work, started the way the program starts it and
// ended as soon as the work is done, so bench/gui.sh can time it as a whole process.
//
//   quirefold-bench-gui split DOC FILE split DOC through the main window (first-show split) and
//                                      write the split's own seconds into FILE
//   quirefold-bench-gui startup        main window shown with the stored folder filled
//   quirefold-bench-gui empty          an empty Qt Widgets window shown (the baseline)
#include "app/desktop/DesktopForms.h"
#include "app/desktop/MainForm.h"
#include "controls/ShellOpen.h"
#include "shell/widgets/PTShellList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fputs("usage: quirefold-bench-gui split DOC TIMEFILE | startup | empty\n", stderr);
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string mode = argv[1];
    if (mode == "split" && argc != 4)
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
