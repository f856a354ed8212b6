#pragma once

#include "ui/MessageBox.h"

#include <QMessageBox>
#include <QString>
#include <vector>

// Answers every message box asked for while it lives: notes what it would have shown and
// answers OK (or the answer set), without showing it.
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
        QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton;
        QMessageBox::StandardButton EscapeButton = QMessageBox::NoButton;
    };

    MessageBoxCatcher()
    {
        TMessageBox::SetAnswerer([this](const TMessageBoxData& box) {
            m_boxes.push_back({box.ObjectName, box.Title, box.Text, box.Icon, box.Buttons,
                               box.Parent, box.DefaultButton, box.EscapeButton});
            return m_answer;
        });
    }
    ~MessageBoxCatcher() { TMessageBox::SetAnswerer({}); }
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    const std::vector<Box>& Boxes() const { return m_boxes; }
    // The button that answers the boxes from now on.
    void Answer(QMessageBox::StandardButton button) { m_answer = button; }

private:
    std::vector<Box> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};
