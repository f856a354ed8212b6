// quirefold: the desktop program.

#include "app/desktop/DesktopCommandLine.h"
#include "app/desktop/DesktopForms.h"
#include "app/desktop/MainForm.h"
#include "app/desktop/ProgramIcon.h"
#include "app/desktop/QuirefoldApplication.h"
#include "app/desktop/StartFile.h"
#include "ui/ErrorBox.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version need no window system, so they are answered before it is set up.
    const DesktopCommandLine early = ParseDesktopCommandLine(Arguments(argc, argv));
    if (early.Help || early.Version) {
        std::cout << (early.Help ? DesktopUsageText() : DesktopVersionText());
        return 0;
    }

    TQuirefoldApplication app(argc, argv);
    // The application object has taken its own options out of argv.
    const DesktopCommandLine command = ParseDesktopCommandLine(Arguments(argc, argv));
    if (!command.Error.empty()) {
        std::cerr << "quirefold: " << command.Error << "\n"
                  << "Try 'quirefold --help' for more information.\n";
        return 2;
    }
    // The display name follows the application name; set on its own, the window system would
    // append it to every dialog's title.
    QApplication::setApplicationName(QStringLiteral("Quirefold"));
    // Lets the desktop match the windows to the installed desktop entry (its icon, its name);
    // on Wayland it is the windows' app id.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUIREFOLD_APP_ID));
    QApplication::setWindowIcon(ProgramIcon());

    QString message;
    const bool failed = CatchFailure(
        [&] {
            TDesktopForms forms;
            TMainForm* mainForm = forms.MainForm();
            mainForm->SetStartFile(StartFileFromArgument(command.File));
            QObject::connect(mainForm, &TMainForm::Closed, &app, &QCoreApplication::quit,
                             Qt::QueuedConnection);
            mainForm->show();
            QApplication::exec();
        },
        message);
    if (failed)
        ShowErrorBox(message);
    return 0;
}
