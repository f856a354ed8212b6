#include "app/desktop/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

void ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kErrorBoxCaption),
                    ErrorBoxText(message), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

bool CatchFailure(const std::function<void()>& action, QString& message)
{
    try {
        action();
        return false;
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        // Anything that is no error object counts as one without a message.
        message.clear();
    }
    return true;
}

void RunGuarded(const std::function<void()>& action)
{
    QString message;
    if (CatchFailure(action, message))
        ShowErrorBox(message);
}
