// quirefold-dialogs: shows the options dialog, the about box and the help window so that they
// can be looked at before the main window exists to show them.
//
//   quirefold-dialogs                    a small window with a button for each
//   quirefold-dialogs --options          the options dialog alone
//   quirefold-dialogs --about            the about box alone
//   quirefold-dialogs --help-viewer[=TOPIC]   the help window alone, at TOPIC

#include "app/desktop/AboutBox.h"
#include "app/desktop/HelpViewer.h"
#include "app/desktop/ProgramIcon.h"
#include "settings/options/OptionsDlg.h"

#include <QApplication>
#include <QPushButton>
#include <QString>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setWindowIcon(ProgramIcon());

    // Made once, shown modally as often as asked, as the program does.
    TAboutBox aboutBox;
    TOptionsDlg optionsDlg;
    QObject::connect(&optionsDlg, &TOptionsDlg::HelpRequested, &optionsDlg,
                     [](const QString& topic) { ShowHelp(topic); });

    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && args[0] == QLatin1String("--options"))
        return optionsDlg.exec() == QDialog::Accepted ? 0 : 1;
    if (args.size() == 1 && args[0] == QLatin1String("--about"))
        return aboutBox.exec() == QDialog::Accepted ? 0 : 1;
    if (args.size() == 1 && args[0].startsWith(QLatin1String("--help-viewer"))) {
        const QString topic = args[0].section(QLatin1Char('='), 1);
        ShowHelp(topic);
        return app.exec();
    }
    if (!args.isEmpty()) {
        QTextStream(stderr) << "Usage: quirefold-dialogs [--options | --about | "
                               "--help-viewer[=TOPIC]]\n";
        return 2;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Quirefold dialogs"));
    auto* layout = new QVBoxLayout(&window);
    auto* optionsButton = new QPushButton(QStringLiteral("Options..."), &window);
    auto* aboutButton = new QPushButton(QStringLiteral("About..."), &window);
    auto* helpButton = new QPushButton(QStringLiteral("Help"), &window);
    layout->addWidget(optionsButton);
    layout->addWidget(aboutButton);
    layout->addWidget(helpButton);
    QObject::connect(optionsButton, &QPushButton::clicked, &optionsDlg, &QDialog::exec);
    QObject::connect(aboutButton, &QPushButton::clicked, &aboutBox, &QDialog::exec);
    QObject::connect(helpButton, &QPushButton::clicked, &window, [] { ShowHelp(); });
    window.show();
    return app.exec();
}
