#include "tests/app/desktop/MessageBoxCatcher.h"
#include "ui/ErrorBox.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(ErrorBox, FullStopOnlyAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(ErrorBoxText("File could not be opened"), "File could not be opened.");
    EXPECT_EQ(ErrorBoxText("Already a sentence."), "Already a sentence.");
    EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorBoxText("Bad value (0)"), "Bad value (0)");
    EXPECT_EQ(ErrorBoxText("Code 7"), "Code 7.");
    EXPECT_EQ(ErrorBoxText("Path /tmp/"), "Path /tmp/.");
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(ErrorBox, ShowsStopIconOkAndTheProgramTitle)
{
    MessageBoxCatcher catcher;
    ShowErrorBox("Something went wrong");
    ASSERT_EQ(catcher.Boxes().size(), 1u);
    const auto& box = catcher.Boxes()[0];
    EXPECT_EQ(box.Title, "Quirefold");
    EXPECT_EQ(box.Text, "Something went wrong.");
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(ErrorBox, GuardedHandlersReportWhatEscapesAndCarryOn)
{
    MessageBoxCatcher catcher;
    RunGuarded([] { throw std::runtime_error("Folder not found"); });
    RunGuarded([] { throw 42; });
    bool ran = false;
    RunGuarded([&] { ran = true; });

    ASSERT_EQ(catcher.Boxes().size(), 2u);
    EXPECT_EQ(catcher.Boxes()[0].Text, "Folder not found.");
    // Anything that is no error object is shown as one without a message.
    EXPECT_EQ(catcher.Boxes()[1].Text, "");
    EXPECT_EQ(catcher.Boxes()[1].Title, "Quirefold");
    EXPECT_TRUE(ran);
}

} // namespace
