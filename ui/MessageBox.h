#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// What a message box shows and how it answers Enter and Escape.
struct TMessageBoxData
{
    QString ObjectName;
    QString Title;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton EscapeButton = QMessageBox::NoButton;
    QWidget* Parent = nullptr;
};

// Every message box of the programs: Critical and Question, Show for any other. Each runs
// modally and returns the button that closed it; NoButton for the default and escape buttons
// leaves the choice to Qt.
//
// Tests answer for the user: a box answered that way is not shown and runs no event loop of
// its own, so no test has to find it on the screen and press its buttons.
class TMessageBox
{
public:
    using StandardButton = QMessageBox::StandardButton;
    using StandardButtons = QMessageBox::StandardButtons;

    static StandardButton Critical(QWidget* parent, const QString& title, const QString& text,
                                   StandardButtons buttons = QMessageBox::Ok,
                                   StandardButton defaultButton = QMessageBox::NoButton,
                                   const QString& objectName = {});
    static StandardButton Question(QWidget* parent, const QString& title, const QString& text,
                                   StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                   StandardButton defaultButton = QMessageBox::NoButton,
                                   const QString& objectName = {});
    // Any icon (or none), and an escape button.
    static StandardButton Show(const TMessageBoxData& box);

    // The next box returns answer at once; NoButton takes back an answer not yet used. Forgets
    // the box recorded before.
    static void SetNextAnswer(StandardButton answer);
    // While set, every box goes to answerer instead and returns what it returns; an empty
    // function shows them again. A next answer still comes first.
    static void SetAnswerer(std::function<StandardButton(const TMessageBoxData&)> answerer);
    // What the last box answered for the user would have shown, if one came.
    static std::optional<TMessageBoxData> LastAnswered();
};
