#include "ui/ErrorBox.h"

#include "ui/MessageBox.h"

#include <QApplication>

void ShowErrorBox(QWidget* parent, const QString& message)
{
    TMessageBox::Critical(parent ? parent : QApplication::activeWindow(),
                          QString::fromLatin1(kErrorBoxCaption), ErrorBoxText(message),
                          QMessageBox::Ok, QMessageBox::NoButton, QStringLiteral("ErrorBox"));
}
