#include "tests/settings/options/OptionsTestFixture.h"

#include <QTimer>
#include <functional>

namespace optionstest {
namespace {

class OptionsStoreTest : public OptionsTest
{
protected:
    // Runs action once the dialog's modal loop is running, then exec's result.
    int ExecAnd(const std::function<void()>& action)
    {
        QTimer::singleShot(0, dlg.get(), action);
        return dlg->exec();
    }
};

TEST_F(OptionsStoreTest, FirstStartShowsTheDefaultsAndStoresTheLevelAtOnce)
{
    Create();
    EXPECT_EQ(dlg->CurrentSettings(), SplitSettings::WhenNothingStored(LinkImageFolder()));
    EXPECT_EQ(FileText(), KeyWith("\"BreakOn\"=dword:00000002"));
    EXPECT_FALSE(Edit("EditPrev")->isEnabled());
    EXPECT_FALSE(Check("UseImagesCheckbox")->isEnabled());
    EXPECT_FALSE(Edit("EditPrevImage")->isEnabled());
    EXPECT_TRUE(Check("BreadcrumbsCheckbox")->isEnabled());
    EXPECT_TRUE(Edit("BreadcrumbTextEdit")->isEnabled());
}

TEST_F(OptionsStoreTest, WithoutAStoreTheFormsValuesStayAndNothingIsStored)
{
    SetProgramVersionInfo(std::nullopt);
    Create();
    EXPECT_EQ(dlg->CurrentSettings(), SplitSettings::WhenStoreUnavailable());
    EXPECT_FALSE(testsupport::Exists(Folder()));

    Type(Edit("EditPrev"), "Back");
    QTest::mouseClick(Button("CancelBtn"), Qt::LeftButton);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(Edit("EditPrev")->text(), "Back");

    dlg->show();
    QTest::mouseClick(Button("OKBtn"), Qt::LeftButton);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(testsupport::Exists(Folder()));
    EXPECT_EQ(dlg->CurrentSettings().PreviousLinkText, "Back");
}

TEST_F(OptionsStoreTest, OkStoresEveryValueAndANewDialogShowsThem)
{
    Create();
    SetChecked(Check("AddLinksCheckbox"), true);
    Type(Edit("EditPrev"), "Back");
    Type(Edit("EditHome"), "");
    Type(Edit("EditNext"), "On \"and\" on");
    ChooseLevel(3);
    SetChecked(Check("UseImagesCheckbox"), true);
    Type(Edit("EditPrevImage"), "img/p.gif");
    Type(Edit("EditHomeImage"), "/abs/h.png");
    Type(Edit("EditNextImage"), "");
    SetChecked(Check("NavigationCheckbox"), true);
    SetChecked(Check("BreadcrumbsCheckbox"), true);
    Type(Edit("BreadcrumbTextEdit"), "");
    SetChecked(Check("FixLinksCheckbox"), true);
    SetChecked(Check("HeadLinksCheckbox"), true);
    SetChecked(Check("MissingBodyEndCheckbox"), true);
    SetChecked(Check("SidebarCheckbox"), true);
    SetChecked(Check("SearchCheckbox"), true);
    Type(Edit("OutputFolderEdit"), "out/pages");

    QTest::mouseClick(Button("OKBtn"), Qt::LeftButton);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    // "BreakOn" keeps the place the first start gave it.
    EXPECT_EQ(FileText(), KeyWith("\"BreakOn\"=dword:00000003\n"
                                  "\"NoLinks\"=dword:00000001\n"
                                  "\"PreviousLinkText\"=\"Back\"\n"
                                  "\"HomeLinkText\"=\"\"\n"
                                  "\"NextLinkText\"=\"On \\\"and\\\" on\"\n"
                                  "\"PrevLinkImage\"=\"img/p.gif\"\n"
                                  "\"HomeLinkImage\"=\"/abs/h.png\"\n"
                                  "\"NextLinkImage\"=\"\"\n"
                                  "\"UseImages\"=dword:00000001\n"
                                  "\"Navigation\"=dword:00000001\n"
                                  "\"Breadcrumbs\"=dword:00000001\n"
                                  "\"BreadcrumbsText\"=\"\"\n"
                                  "\"FixLinks\"=dword:00000001\n"
                                  "\"PageTitles\"=dword:00000000\n"
                                  "\"HeadLinks\"=dword:00000001\n"
                                  "\"TolerateMissingBodyEnd\"=dword:00000001\n"
                                  "\"Manifest\"=dword:00000000\n"
                                  "\"OutputFolder\"=\"out/pages\"\n"
                                  "\"Sidebar\"=dword:00000001\n"
                                  "\"Search\"=dword:00000001"));

    const SplitSettings saved = dlg->CurrentSettings();
    Create();
    SplitSettings expected = saved;
    // Stored empty: a link text and an image come back as their defaults, the label stays empty.
    expected.HomeLinkText = "Home";
    expected.NextLinkImage = LinkImageFolder() + "next1.gif";
    EXPECT_EQ(dlg->CurrentSettings(), expected);
    EXPECT_EQ(dlg->CurrentSettings().BreadcrumbsText, "");
    EXPECT_TRUE(Level(3)->isChecked());
    EXPECT_TRUE(Edit("EditPrevImage")->isEnabled());
}

TEST_F(OptionsStoreTest, CancelRevertsOnlyWhatTheStoreHolds)
{
    const std::string stored = "\"NoLinks\"=dword:00000001\n"
                               "\"PreviousLinkText\"=\"Stored back\"\n"
                               "\"HomeLinkText\"=\"\"\n"
                               "\"PrevLinkImage\"=\"p.gif\"\n"
                               "\"HomeLinkImage\"=\"\"\n"
                               "\"UseImages\"=dword:00000000\n"
                               "\"Navigation\"=dword:00000001\n"
                               "\"Breadcrumbs\"=dword:00000001\n"
                               "\"BreadcrumbsText\"=\"\"";
    WriteFileText(KeyWith(stored));
    Create();
    ASSERT_EQ(Edit("EditPrev")->text(), "Stored back");
    // The level goes missing again while the dialog is open.
    WriteFileText(KeyWith(stored));

    Type(Edit("EditPrev"), "E1");
    Type(Edit("EditHome"), "E2");
    Type(Edit("EditNext"), "E3");
    ChooseLevel(3);
    SetChecked(Check("UseImagesCheckbox"), true);
    Type(Edit("EditPrevImage"), "edited.gif");
    Type(Edit("EditNextImage"), "edited-next.gif");
    SetChecked(Check("NavigationCheckbox"), false);
    SetChecked(Check("BreadcrumbsCheckbox"), false);
    Type(Edit("BreadcrumbTextEdit"), "Edited:");

    QTest::mouseClick(Button("CancelBtn"), Qt::LeftButton);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(dlg->isVisible());

    EXPECT_EQ(Edit("EditPrev")->text(), "Stored back");
    EXPECT_EQ(Edit("EditHome")->text(), "E2");
    EXPECT_EQ(Edit("EditNext")->text(), "E3");
    EXPECT_TRUE(Level(3)->isChecked());
    EXPECT_EQ(FileText(), KeyWith(stored + "\n\"BreakOn\"=dword:00000003"));
    EXPECT_EQ(Edit("EditPrevImage")->text(), "p.gif");
    EXPECT_EQ(Edit("EditHomeImage")->text().toStdString(), LinkImageFolder() + "home1.gif");
    EXPECT_EQ(Edit("EditNextImage")->text().toStdString(), LinkImageFolder() + "next1.gif");
    EXPECT_FALSE(Check("UseImagesCheckbox")->isChecked());
    EXPECT_TRUE(Check("NavigationCheckbox")->isChecked());
    EXPECT_TRUE(Check("BreadcrumbsCheckbox")->isChecked());
    EXPECT_EQ(Edit("BreadcrumbTextEdit")->text(), "");
    EXPECT_TRUE(Edit("EditPrev")->isEnabled());
    EXPECT_FALSE(Edit("EditPrevImage")->isEnabled());
    EXPECT_FALSE(Button("BrowsePrevBtn")->isEnabled());
    EXPECT_TRUE(Shown().contains("Stored back|E2|E3"));
}

TEST_F(OptionsStoreTest, StoredLevelsAreClampedAndNoneSelectedStoresZero)
{
    struct Case
    {
        const char* stored;
        int level; // 0: none selected
    };
    const Case cases[] = {{"00000001", 1}, {"00000003", 3}, {"00000007", 3},
                          {"7fffffff", 3}, {"ffffffff", 0}, {"80000000", 0}};
    for (const Case& c : cases) {
        WriteFileText(KeyWith("\"NoLinks\"=dword:00000005\n"
                              "\"Breadcrumbs\"=dword:00000001\n"
                              "\"BreakOn\"=dword:" +
                              std::string(c.stored)));
        Create();
        EXPECT_EQ(dlg->CurrentSettings().BreakOn, c.level) << c.stored;
        for (int level = 1; level <= 3; ++level)
            EXPECT_EQ(Level(level)->isChecked(), level == c.level) << c.stored;
        const bool deep = c.level >= 2;
        EXPECT_EQ(Check("BreadcrumbsCheckbox")->isEnabled(), deep) << c.stored;
        EXPECT_EQ(Edit("BreadcrumbTextEdit")->isEnabled(), deep) << c.stored;
        EXPECT_TRUE(Check("AddLinksCheckbox")->isChecked()) << c.stored;
        EXPECT_EQ(Shown().contains("Chapter V"), deep) << c.stored;

        QTest::mouseClick(Button("OKBtn"), Qt::LeftButton);
        EXPECT_NE(FileText().find("\"BreakOn\"=dword:0000000" + std::to_string(c.level)),
                  std::string::npos)
            << c.stored;
    }
}

TEST_F(OptionsStoreTest, ALoadLeavesOnlyTheEnablingOfItsLastSteps)
{
    // Heading 1: whatever the navigation click enabled, a load disables the label again.
    WriteFileText(KeyWith("\"BreakOn\"=dword:00000001\n\"Breadcrumbs\"=dword:00000001"));
    Create();
    ASSERT_FALSE(Edit("BreadcrumbTextEdit")->isEnabled());
    SetChecked(Check("NavigationCheckbox"), true);
    ASSERT_TRUE(Edit("BreadcrumbTextEdit")->isEnabled());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(Edit("BreadcrumbTextEdit")->isEnabled());
    EXPECT_FALSE(Check("BreadcrumbsCheckbox")->isEnabled());
    EXPECT_FALSE(Check("NavigationCheckbox")->isChecked());

    // Heading 2: a load enables the label by the level alone, checked box or not.
    WriteFileText(KeyWith("\"BreakOn\"=dword:00000002\n\"Breadcrumbs\"=dword:00000000"));
    Create();
    EXPECT_TRUE(Edit("BreadcrumbTextEdit")->isEnabled());
    SetChecked(Check("BreadcrumbsCheckbox"), true);
    SetChecked(Check("BreadcrumbsCheckbox"), false);
    ASSERT_FALSE(Edit("BreadcrumbTextEdit")->isEnabled());
    dlg->LoadSettings();
    EXPECT_TRUE(Edit("BreadcrumbTextEdit")->isEnabled());
}

TEST_F(OptionsStoreTest, ALoadRunsTheRulesOfWhatItChangesAndBuildsThePreviewOnce)
{
    WriteFileText(KeyWith("\"NoLinks\"=dword:00000001\n\"UseImages\"=dword:00000001\n"
                          "\"Navigation\"=dword:00000001\n\"Breadcrumbs\"=dword:00000001\n"
                          "\"BreadcrumbsText\"=\"Here:\"\n\"BreakOn\"=dword:00000002"));
    Create();
    for (const char* name :
         {"NavigationCheckbox", "BreadcrumbsCheckbox", "UseImagesCheckbox", "AddLinksCheckbox"})
        SetChecked(Check(name), false);
    ChooseLevel(1);
    ASSERT_FALSE(Edit("EditPrev")->isEnabled());
    QSignalSpy previews(dlg.get(), &TOptionsDlg::PreviewUpdated);

    // Cancel's load runs the rules of each control it sets, and builds one preview.
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(previews.count(), 1);
    EXPECT_TRUE(Edit("EditPrev")->isEnabled());
    EXPECT_TRUE(Edit("EditNextImage")->isEnabled());
    EXPECT_TRUE(Check("BreadcrumbsCheckbox")->isEnabled());
    EXPECT_TRUE(Edit("BreadcrumbTextEdit")->isEnabled());
    EXPECT_TRUE(Shown().contains("link 1\nlink 2"));
    EXPECT_TRUE(Shown().contains("Here:Chapter V > Par 3"));
    EXPECT_TRUE(Browser()->toHtml().contains("<img", Qt::CaseInsensitive));
}

TEST_F(OptionsStoreTest, EscapeReloadsAndTheCloseBoxKeepsTheEditsUnstored)
{
    WriteFileText(KeyWith("\"NoLinks\"=dword:00000001\n\"PreviousLinkText\"=\"Stored\""));
    Create(false);
    const std::string before = FileText();

    const int escaped = ExecAnd([this] {
        Type(Edit("EditPrev"), "Edited");
        QTest::keyClick(Edit("EditPrev"), Qt::Key_Escape);
    });
    EXPECT_EQ(escaped, QDialog::Rejected);
    EXPECT_EQ(Edit("EditPrev")->text(), "Stored");

    const int closed = ExecAnd([this] {
        Type(Edit("EditPrev"), "Edited");
        dlg->close();
    });
    EXPECT_EQ(closed, QDialog::Rejected);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Edit("EditPrev")->text(), "Edited");
    EXPECT_EQ(dlg->CurrentSettings().PreviousLinkText, "Edited");
    EXPECT_EQ(FileText(), before);

    // The edit stays in force through the next showing, until Cancel.
    const int cancelled = ExecAnd([this] {
        EXPECT_EQ(Edit("EditPrev")->text(), "Edited");
        QTest::mouseClick(Button("CancelBtn"), Qt::LeftButton);
    });
    EXPECT_EQ(cancelled, QDialog::Rejected);
    EXPECT_EQ(Edit("EditPrev")->text(), "Stored");
}

TEST_F(OptionsStoreTest, EachShowingUpdatesThePreview)
{
    WriteFileText(KeyWith("\"Breadcrumbs\"=dword:00000001"));
    Create(false);
    for (const char* label : {"First:", "Second:", "Third:"}) {
        // Typed into the label while hidden: no update until the dialog shows.
        Edit("BreadcrumbTextEdit")->setText(label);
        QString shown;
        const int result = ExecAnd([&] {
            shown = Shown();
            QTest::keyClick(dlg.get(), Qt::Key_Return);
        });
        EXPECT_EQ(result, QDialog::Accepted) << label;
        EXPECT_TRUE(shown.contains(QString(label) + "Chapter V")) << label;
    }
    EXPECT_NE(FileText().find("\"BreadcrumbsText\"=\"Third:\""), std::string::npos);
}

TEST_F(OptionsStoreTest, EmptiedLinkTextIsStoredEmptyAndComesBackAsTheDefault)
{
    WriteFileText(KeyWith("\"NoLinks\"=dword:00000001"));
    Create();
    Type(Edit("EditPrev"), "");
    EXPECT_EQ(dlg->CurrentSettings().PreviousLinkText, "");
    QTest::mouseClick(Button("OKBtn"), Qt::LeftButton);
    EXPECT_NE(FileText().find("\"PreviousLinkText\"=\"\"\n"), std::string::npos);
    EXPECT_EQ(Edit("EditPrev")->text(), "");

    Create();
    EXPECT_EQ(Edit("EditPrev")->text(), "Previous");
}

TEST_F(OptionsStoreTest, TextsOfAnyLengthAndNonAsciiSurviveLoadAndSave)
{
    const std::string longText(40000, 'x');
    const std::string accented = "Zur\xc3\xbc"
                                 "ck";
    WriteFileText(KeyWith("\"PreviousLinkText\"=\"" + longText + "\"\n\"NextLinkText\"=\"" +
                          accented + "\""));
    Create();
    EXPECT_EQ(Edit("EditPrev")->text().size(), 40000);
    EXPECT_EQ(Edit("EditNext")->text(), QString::fromUtf8("Zur\u00fcck"));
    EXPECT_EQ(dlg->CurrentSettings().PreviousLinkText, longText);
    dlg->SaveSettings();
    Create();
    EXPECT_EQ(dlg->CurrentSettings().PreviousLinkText, longText);
    EXPECT_EQ(dlg->CurrentSettings().NextLinkText, accented);
}

} // namespace
} // namespace optionstest
