#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <vector>

// Answers every message box that opens while it lives: notes what it showed and presses OK.
// The boxes run their own nested loop, in which the catcher's timer still fires.
class MessageBoxCatcher
{
public:
    struct Box
    {
        QString ObjectName;
        QString Title;
        QString Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
        QWidget* Parent = nullptr;
    };

    MessageBoxCatcher()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

    const std::vector<Box>& Boxes() const { return m_boxes; }

private:
    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        m_boxes.push_back({box->objectName(), box->windowTitle(), box->text(), box->icon(),
                           box->standardButtons(), box->parentWidget()});
        box->done(QMessageBox::Ok);
    }

    QTimer m_timer;
    std::vector<Box> m_boxes;
};
