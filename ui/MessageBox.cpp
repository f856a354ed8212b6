#include "ui/MessageBox.h"

#include <utility>

namespace {

struct TAnswers
{
    std::optional<QMessageBox::StandardButton> Next;
    std::function<QMessageBox::StandardButton(const TMessageBoxData&)> Answerer;
    std::optional<TMessageBoxData> Last;
};

// Message boxes belong to the GUI thread, and so do these.
TAnswers& Answers()
{
    static TAnswers answers;
    return answers;
}

TMessageBox::StandardButton Make(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                 const QString& text, QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton,
                                 const QString& objectName)
{
    TMessageBoxData box;
    box.ObjectName = objectName;
    box.Title = title;
    box.Text = text;
    box.Icon = icon;
    box.Buttons = buttons;
    box.DefaultButton = defaultButton;
    box.Parent = parent;
    return TMessageBox::Show(box);
}

} // namespace

TMessageBox::StandardButton TMessageBox::Critical(QWidget* parent, const QString& title,
                                                  const QString& text, StandardButtons buttons,
                                                  StandardButton defaultButton,
                                                  const QString& objectName)
{
    return Make(QMessageBox::Critical, parent, title, text, buttons, defaultButton, objectName);
}

TMessageBox::StandardButton TMessageBox::Question(QWidget* parent, const QString& title,
                                                  const QString& text, StandardButtons buttons,
                                                  StandardButton defaultButton,
                                                  const QString& objectName)
{
    return Make(QMessageBox::Question, parent, title, text, buttons, defaultButton, objectName);
}

TMessageBox::StandardButton TMessageBox::Show(const TMessageBoxData& box)
{
    TAnswers& answers = Answers();
    if (answers.Next) {
        answers.Last = box;
        return *std::exchange(answers.Next, std::nullopt);
    }
    if (answers.Answerer) {
        answers.Last = box;
        // A copy, so that the answerer may replace itself.
        const auto answerer = answers.Answerer;
        return answerer(box);
    }
    QMessageBox shown(box.Icon, box.Title, box.Text, box.Buttons, box.Parent);
    if (!box.ObjectName.isEmpty())
        shown.setObjectName(box.ObjectName);
    if (box.DefaultButton != QMessageBox::NoButton)
        shown.setDefaultButton(box.DefaultButton);
    if (box.EscapeButton != QMessageBox::NoButton)
        shown.setEscapeButton(box.EscapeButton);
    return static_cast<StandardButton>(shown.exec());
}

void TMessageBox::SetNextAnswer(StandardButton answer)
{
    if (answer == QMessageBox::NoButton)
        Answers().Next.reset();
    else
        Answers().Next = answer;
    Answers().Last.reset();
}

void TMessageBox::SetAnswerer(std::function<StandardButton(const TMessageBoxData&)> answerer)
{
    Answers().Answerer = std::move(answerer);
}

std::optional<TMessageBoxData> TMessageBox::LastAnswered()
{
    return Answers().Last;
}
