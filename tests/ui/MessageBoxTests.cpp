#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Clears the hook whatever a test left in it.
class MessageBoxTest : public testing::Test
{
protected:
    void TearDown() override
    {
        TMessageBox::SetNextAnswer(QMessageBox::NoButton);
        TMessageBox::SetAnswerer({});
    }
    QWidget owner;
};

TEST_F(MessageBoxTest, TheNextAnswerComesOnceWithoutShowingTheBox)
{
    int asked = 0;
    TMessageBox::SetAnswerer([&](const TMessageBoxData&) {
        ++asked;
        return QMessageBox::Ok;
    });
    TMessageBox::SetNextAnswer(QMessageBox::No);
    EXPECT_EQ(TMessageBox::Question(&owner, "Copy", "Replace it?",
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                                    "ReplaceBox"),
              QMessageBox::No);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const auto shown = TMessageBox::LastAnswered();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->ObjectName, "ReplaceBox");
    EXPECT_EQ(shown->Title, "Copy");
    EXPECT_EQ(shown->Text, "Replace it?");
    EXPECT_EQ(shown->Icon, QMessageBox::Question);
    EXPECT_EQ(shown->Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(shown->DefaultButton, QMessageBox::No);
    EXPECT_EQ(shown->Parent, &owner);

    // The answer is used up: the next box goes to the answerer.
    TMessageBoxData full;
    full.Icon = QMessageBox::Warning;
    full.Text = "Disk full";
    EXPECT_EQ(TMessageBox::Show(full), QMessageBox::Ok);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(TMessageBox::LastAnswered()->Icon, QMessageBox::Warning);

    // A new next answer forgets what the last box showed; NoButton takes it back.
    TMessageBox::SetNextAnswer(QMessageBox::Cancel);
    EXPECT_FALSE(TMessageBox::LastAnswered().has_value());
    TMessageBox::SetNextAnswer(QMessageBox::NoButton);
    EXPECT_EQ(TMessageBox::Show({}), QMessageBox::Ok);
    EXPECT_EQ(asked, 2);
}

TEST_F(MessageBoxTest, UnansweredBoxesShowAsBuilt)
{
    struct Seen
    {
        QString ObjectName, Title, Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QWidget* Parent = nullptr;
        QAbstractButton* Default = nullptr;
        QAbstractButton* Escape = nullptr;
        QAbstractButton* No = nullptr;
    };
    std::vector<Seen> seen;
    // Closes each box with Escape once it runs its own loop.
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.push_back({box->objectName(), box->windowTitle(), box->text(), box->icon(),
                        box->parentWidget(), box->defaultButton(), box->escapeButton(),
                        box->button(QMessageBox::No)});
        QTest::keyClick(box, Qt::Key_Escape);
    });
    timer.start(5);

    ShowErrorBox(&owner, "Folder not found");
    TMessageBoxData question;
    question.Title = "Delete";
    question.Text = "Delete it for good?";
    question.Icon = QMessageBox::Warning;
    question.Buttons = QMessageBox::Yes | QMessageBox::No;
    question.DefaultButton = QMessageBox::No;
    question.EscapeButton = QMessageBox::No;
    question.Parent = &owner;
    EXPECT_EQ(TMessageBox::Show(question), QMessageBox::No);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].ObjectName, "ErrorBox");
    EXPECT_EQ(seen[0].Title, "Quirefold");
    EXPECT_EQ(seen[0].Text, "Folder not found.");
    EXPECT_EQ(seen[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(seen[0].Parent, &owner);
    EXPECT_EQ(seen[1].ObjectName, "");
    EXPECT_EQ(seen[1].Icon, QMessageBox::Warning);
    EXPECT_NE(seen[1].No, nullptr);
    EXPECT_EQ(seen[1].Default, seen[1].No);
    EXPECT_EQ(seen[1].Escape, seen[1].No);
}

} // namespace
