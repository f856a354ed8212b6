#include "app/desktop/HelpViewer.h"
#include "settings/options/OptionsDlg.h"
#include "tests/app/desktop/HelpTestSupport.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

using controlstest::ScopedOpenRecorder;
using namespace helptest;

namespace {

const QUrl kContents(QStringLiteral("qrc:/help/contents.html"));
const QUrl kOptions(QStringLiteral("qrc:/help/options.html"));
const QUrl kCommandLine(QStringLiteral("qrc:/help/command-line.html"));

// Every test starts without a help window.
class HelpViewerTest : public testing::Test
{
protected:
    void SetUp() override { delete HelpWindow(); }
    void TearDown() override { delete HelpWindow(); }
};

} // namespace

TEST(HelpTopics, NameTheirPagesAndAnythingElseGivesTheContents)
{
    EXPECT_EQ(HelpTopicPage(QString()), kContents);
    EXPECT_EQ(HelpTopicPage("Contents"), kContents);
    EXPECT_EQ(HelpTopicPage("Options"), kOptions);
    EXPECT_EQ(HelpTopicPage("options"), kOptions);
    EXPECT_EQ(HelpTopicPage("CommandLine"), kCommandLine);
    EXPECT_EQ(HelpTopicPage("MoreOptions"), QUrl("qrc:/help/more-options.html"));
    EXPECT_EQ(HelpTopicPage("NoSuchTopic"), kContents);
    EXPECT_EQ(HelpTopicPage("options.html"), kContents);
}

TEST_F(HelpViewerTest, ShowHelpOpensOneWindowAtTheTopic)
{
    ShowHelp();
    THelpViewer* window = HelpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Quirefold Help");
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->CurrentPage(), kContents);
    EXPECT_TRUE(PageText(*window).contains("Quirefold Help"));

    ShowHelp("Options");
    EXPECT_EQ(HelpWindow(), window);
    EXPECT_EQ(window->CurrentPage(), kOptions);
    EXPECT_TRUE(PageText(*window).contains("Break on:"));

    // An unknown topic never leaves an empty window.
    ShowHelp("NoSuchTopic");
    EXPECT_EQ(window->CurrentPage(), kContents);
    EXPECT_TRUE(PageText(*window).contains("Quirefold Help"));
}

TEST_F(HelpViewerTest, AWindowOpenedAtATopicHasNothingToGoBackTo)
{
    ShowHelp("Options");
    THelpViewer& window = *HelpWindow();
    EXPECT_EQ(window.CurrentPage(), kOptions);
    EXPECT_FALSE(Button(window, "BackButton")->isEnabled());
    EXPECT_FALSE(Browser(window)->isBackwardAvailable());
}

TEST_F(HelpViewerTest, BackForwardAndContentsWalkTheHistory)
{
    ShowHelp();
    ShowHelp("Options");
    ShowHelp("Options"); // the same page again adds no history entry
    THelpViewer& window = *HelpWindow();
    QPushButton* back = Button(window, "BackButton");
    QPushButton* forward = Button(window, "ForwardButton");
    EXPECT_TRUE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());

    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(window.CurrentPage(), kContents);
    EXPECT_FALSE(back->isEnabled());
    EXPECT_TRUE(forward->isEnabled());

    QTest::mouseClick(forward, Qt::LeftButton);
    EXPECT_EQ(window.CurrentPage(), kOptions);

    QTest::mouseClick(Button(window, "ContentsButton"), Qt::LeftButton);
    EXPECT_EQ(window.CurrentPage(), kContents);
    EXPECT_FALSE(forward->isEnabled());

    // The browser's own keys go back as well.
    Browser(window)->setFocus();
    QTest::keyClick(Browser(window), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(window.CurrentPage(), kOptions);
}

TEST_F(HelpViewerTest, LinksLeadToOtherPagesAndAddressesGoToTheDesktop)
{
    ScopedOpenRecorder opened;
    ShowHelp();
    THelpViewer& window = *HelpWindow();

    ASSERT_TRUE(ClickLink(window, "options.html"));
    EXPECT_EQ(window.CurrentPage(), kOptions);
    ASSERT_TRUE(ClickLink(window, "command-line.html"));
    EXPECT_EQ(window.CurrentPage(), kCommandLine);
    ASSERT_TRUE(ClickLink(window, "contents.html"));
    EXPECT_EQ(window.CurrentPage(), kContents);
    ASSERT_TRUE(ClickLink(window, "#files"));
    EXPECT_EQ(window.CurrentPage().adjusted(QUrl::RemoveFragment), kContents);
    EXPECT_EQ(window.CurrentPage().fragment(), "files");
    EXPECT_TRUE(opened.Targets().isEmpty());

    ASSERT_TRUE(ClickLink(window, "mailto:quirefold@brisendale.example"));
    ASSERT_TRUE(ClickLink(window, "https://www.brisendale.example/quirefold"));
    EXPECT_EQ(opened.Targets(), (QStringList{"mailto:quirefold@brisendale.example",
                                             "https://www.brisendale.example/quirefold"}));
    EXPECT_EQ(window.CurrentPage().adjusted(QUrl::RemoveFragment), kContents);
}

TEST_F(HelpViewerTest, TakesInputWhileAModalDialogRuns)
{
    // Help already open before the dialog, as after the main window's Help.
    ShowHelp("Options");
    THelpViewer* window = HelpWindow();

    QDialog dialog;
    QWidget outsider; // any other window: the dialog blocks it
    int outsiderClicks = 0;
    auto* outsiderButton = new QPushButton("Click", &outsider);
    QObject::connect(outsiderButton, &QPushButton::clicked, [&] { ++outsiderClicks; });
    outsider.show();

    bool helpVisible = false;
    QUrl pageAfterClick;
    QTimer::singleShot(0, &dialog, [&] {
        ShowHelp("Options");
        helpVisible = HelpWindow() == window && window->isVisible();
        // Clicks as the window system delivers them, where a modal dialog's blocking applies.
        ClickThroughWindow(outsiderButton);
        ClickThroughWindow(Button(*window, "ContentsButton"));
        pageAfterClick = window->CurrentPage();
        dialog.accept();
    });
    QTimer failsafe;
    QObject::connect(&failsafe, &QTimer::timeout, &dialog, [&] { dialog.done(99); });
    failsafe.start(30000);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    EXPECT_TRUE(helpVisible);
    EXPECT_EQ(outsiderClicks, 0);
    EXPECT_EQ(pageAfterClick, kContents);

    // When the dialog closes, the help stays open as a window of its own.
    ASSERT_EQ(HelpWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);
    ClickThroughWindow(Button(*window, "BackButton"));
    EXPECT_EQ(window->CurrentPage(), kOptions);
}

TEST_F(HelpViewerTest, OpenedFirstFromADialogOutlivesIt)
{
    auto dialog = std::make_unique<QDialog>();
    bool helpVisible = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        ShowHelp("Options");
        helpVisible = HelpWindow() && HelpWindow()->isVisible();
        dialog->accept();
    });
    dialog->exec();
    dialog.reset();

    EXPECT_TRUE(helpVisible);
    ASSERT_NE(HelpWindow(), nullptr);
    EXPECT_TRUE(HelpWindow()->isVisible());
    EXPECT_EQ(HelpWindow()->CurrentPage(), kOptions);
}

TEST_F(HelpViewerTest, TheOptionsDialogsHelpOpensTheOptionsTopicAndTakesInput)
{
    TOptionsDlg options;
    QObject::connect(&options, &TOptionsDlg::HelpRequested, &options,
                     [](const QString& topic) { ShowHelp(topic); });
    QUrl shown, afterClick;
    bool optionsStillOpen = false;
    QTimer::singleShot(0, &options, [&] {
        QTest::mouseClick(options.findChild<QPushButton*>("HelpButton"), Qt::LeftButton);
        if (THelpViewer* window = HelpWindow()) {
            shown = window->CurrentPage();
            ClickThroughWindow(Button(*window, "ContentsButton"));
            afterClick = window->CurrentPage();
        }
        optionsStillOpen = options.isVisible();
        options.close();
    });
    options.exec();
    EXPECT_EQ(shown, kOptions);
    EXPECT_EQ(afterClick, kContents);
    EXPECT_TRUE(optionsStillOpen);

    // F1 asks for the same topic, wherever the focus is in the dialog.
    QStringList asked;
    QObject::connect(&options, &TOptionsDlg::HelpRequested, &options,
                     [&](const QString& topic) { asked << topic; });
    QTimer::singleShot(0, &options, [&] {
        // Offscreen windows may never count as active; F1 goes to the focus either way.
        (void)QTest::qWaitForWindowActive(&options);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &options,
                        Qt::Key_F1);
        options.close();
    });
    options.exec();
    EXPECT_EQ(asked, QStringList{QStringLiteral("Options")});
}
