#include "tests/settings/options/OptionsTestFixture.h"
#include "ui/DesktopLook.h"

#include <QAccessible>
#include <QFrame>
#include <QPalette>

namespace optionstest {
namespace {

class OptionsRulesTest : public OptionsTest
{
protected:
    // Links, images, breadcrumbs and the navigation pane all on, at Heading 2.
    void CreateWithEverythingOn()
    {
        WriteFileText(KeyWith("\"NoLinks\"=dword:00000001\n"
                              "\"UseImages\"=dword:00000001\n"
                              "\"Navigation\"=dword:00000001\n"
                              "\"Breadcrumbs\"=dword:00000001\n"
                              "\"BreadcrumbsText\"=\"Here:\""));
        Create();
    }

    QColor Base(QLineEdit* edit, QPalette::ColorGroup group) const
    {
        return edit->palette().color(group, QPalette::Base);
    }
};

TEST_F(OptionsRulesTest, HeadingOneDisablesTheBreadcrumbsAndHidesTheTrailEvenWhenChecked)
{
    CreateWithEverythingOn();
    QCheckBox* crumbs = Check("BreadcrumbsCheckbox");
    QLineEdit* text = Edit("BreadcrumbTextEdit");
    ASSERT_TRUE(crumbs->isChecked());
    EXPECT_TRUE(Shown().contains("Here:Chapter V > Par 3"));

    ChooseLevel(1);
    EXPECT_FALSE(crumbs->isEnabled());
    EXPECT_FALSE(text->isEnabled());
    EXPECT_TRUE(crumbs->isChecked());
    EXPECT_FALSE(Shown().contains("Chapter V"));
    EXPECT_FALSE(Shown().contains("Here:"));
    EXPECT_EQ(dlg->CurrentSettings().BreakOn, 1);
    EXPECT_TRUE(dlg->CurrentSettings().Breadcrumbs);

    ChooseLevel(3);
    EXPECT_TRUE(crumbs->isEnabled());
    EXPECT_TRUE(text->isEnabled());
    EXPECT_TRUE(Shown().contains("Here:Chapter V > Par 3 > Item 5"));
    EXPECT_EQ(dlg->CurrentSettings().BreakOn, 3);

    // The level alone decides, whatever the check box shows.
    SetChecked(crumbs, false);
    EXPECT_FALSE(text->isEnabled());
    ChooseLevel(2);
    EXPECT_TRUE(text->isEnabled());
    EXPECT_TRUE(crumbs->isEnabled());
    EXPECT_FALSE(Shown().contains("Chapter V"));
}

TEST_F(OptionsRulesTest, AddLinksOffDisablesTheLinkRowsAndKeepsUseImages)
{
    CreateWithEverythingOn();
    const char* linkControls[] = {"EditPrev",      "EditHome",      "EditNext",
                                  "EditPrevImage", "EditHomeImage", "EditNextImage"};
    const char* browseButtons[] = {"BrowsePrevBtn", "BrowseHomeBtn", "BrowseNextBtn"};
    QCheckBox* useImages = Check("UseImagesCheckbox");

    SetChecked(Check("AddLinksCheckbox"), false);
    for (const char* name : linkControls)
        EXPECT_FALSE(Edit(name)->isEnabled()) << name;
    for (const char* name : browseButtons)
        EXPECT_FALSE(Button(name)->isEnabled()) << name;
    EXPECT_FALSE(useImages->isEnabled());
    EXPECT_TRUE(useImages->isChecked());
    EXPECT_FALSE(Shown().contains("Previous"));
    EXPECT_FALSE(Browser()->toHtml().contains("<img", Qt::CaseInsensitive));
    EXPECT_TRUE(Shown().contains("Chapter V"));
    // Disabled controls still report their values.
    const SplitSettings off = dlg->CurrentSettings();
    EXPECT_FALSE(off.AddLinks);
    EXPECT_TRUE(off.UseImages);
    EXPECT_EQ(off.PreviousLinkText, "Previous");

    SetChecked(Check("AddLinksCheckbox"), true);
    for (const char* name : linkControls)
        EXPECT_TRUE(Edit(name)->isEnabled()) << name;
    for (const char* name : browseButtons)
        EXPECT_TRUE(Button(name)->isEnabled()) << name;
    EXPECT_TRUE(useImages->isEnabled());

    // Without images only the texts take input.
    SetChecked(useImages, false);
    EXPECT_TRUE(Edit("EditPrev")->isEnabled());
    EXPECT_FALSE(Edit("EditNextImage")->isEnabled());
    EXPECT_FALSE(Button("BrowseNextBtn")->isEnabled());
    EXPECT_TRUE(Shown().contains("Previous|Home|Next"));
}

TEST_F(OptionsRulesTest, NavigationAndBreadcrumbsClicksSetTheLabelStateFromTheBreadcrumbsBox)
{
    CreateWithEverythingOn();
    QLineEdit* text = Edit("BreadcrumbTextEdit");
    ChooseLevel(1);
    ASSERT_FALSE(text->isEnabled());

    // Even at Heading 1 the navigation pane's click follows the breadcrumbs box.
    SetChecked(Check("NavigationCheckbox"), false);
    EXPECT_TRUE(text->isEnabled());
    EXPECT_FALSE(Check("BreadcrumbsCheckbox")->isEnabled());
    EXPECT_FALSE(Shown().contains("link 1"));
    SetChecked(Check("NavigationCheckbox"), true);
    EXPECT_TRUE(Shown().contains("link 1\nlink 2"));

    ChooseLevel(2);
    SetChecked(Check("BreadcrumbsCheckbox"), false);
    EXPECT_FALSE(text->isEnabled());
    SetChecked(Check("NavigationCheckbox"), false);
    EXPECT_FALSE(text->isEnabled());
    SetChecked(Check("BreadcrumbsCheckbox"), true);
    EXPECT_TRUE(text->isEnabled());
}

// The ways a box or a level changes: the user's click, a screen reader's Toggle action, code.
enum class Way
{
    Click,
    ScreenReader,
    Code
};

void Change(QAbstractButton* button, bool checked, Way way)
{
    switch (way) {
    case Way::Click:
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        break;
    case Way::ScreenReader: {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QAccessibleActionInterface* actions = accessible ? accessible->actionInterface() : nullptr;
        if (actions && actions->actionNames().contains(QAccessibleActionInterface::toggleAction()))
            actions->doAction(QAccessibleActionInterface::toggleAction());
        break;
    }
    case Way::Code:
        button->setChecked(checked);
        break;
    }
    EXPECT_EQ(button->isChecked(), checked) << button->objectName().toStdString();
}

TEST_F(OptionsRulesTest, EveryWayOfChangingABoxRunsItsRulesAndUpdatesThePreviewOnce)
{
    for (Way way : {Way::Click, Way::ScreenReader, Way::Code}) {
        SCOPED_TRACE(static_cast<int>(way));
        // Links off with images chosen, Heading 1, no trail, no navigation pane.
        WriteFileText(KeyWith("\"NoLinks\"=dword:00000000\n"
                              "\"UseImages\"=dword:00000001\n"
                              "\"BreakOn\"=dword:00000001\n"
                              "\"BreadcrumbsText\"=\"Here:\""));
        Create();
        QSignalSpy previews(dlg.get(), &TOptionsDlg::PreviewUpdated);
        auto change = [&](QAbstractButton* button, bool checked) {
            previews.clear();
            Change(button, checked, way);
            return previews.count();
        };

        EXPECT_EQ(change(Check("AddLinksCheckbox"), true), 1);
        EXPECT_TRUE(Edit("EditPrev")->isEnabled());
        EXPECT_TRUE(Check("UseImagesCheckbox")->isEnabled());
        EXPECT_TRUE(Edit("EditNextImage")->isEnabled());
        EXPECT_TRUE(Button("BrowseNextBtn")->isEnabled());
        EXPECT_TRUE(Browser()->toHtml().contains("<img", Qt::CaseInsensitive));

        EXPECT_EQ(change(Check("UseImagesCheckbox"), false), 1);
        EXPECT_FALSE(Edit("EditNextImage")->isEnabled());
        EXPECT_FALSE(Button("BrowseNextBtn")->isEnabled());
        EXPECT_TRUE(Shown().contains("Previous|Home|Next"));

        // One level off and another on: one change.
        EXPECT_EQ(change(Level(3), true), 1);
        EXPECT_TRUE(Check("BreadcrumbsCheckbox")->isEnabled());
        EXPECT_TRUE(Edit("BreadcrumbTextEdit")->isEnabled());
        EXPECT_EQ(change(Check("BreadcrumbsCheckbox"), true), 1);
        EXPECT_TRUE(Shown().contains("Here:Chapter V > Par 3 > Item 5"));
        EXPECT_EQ(change(Check("BreadcrumbsCheckbox"), false), 1);
        EXPECT_FALSE(Edit("BreadcrumbTextEdit")->isEnabled());
        EXPECT_FALSE(Shown().contains("Chapter V"));

        EXPECT_EQ(change(Check("NavigationCheckbox"), true), 1);
        EXPECT_TRUE(Shown().contains("link 1\nlink 2"));
        EXPECT_EQ(change(Level(1), true), 1);
        EXPECT_FALSE(Check("BreadcrumbsCheckbox")->isEnabled());

        EXPECT_EQ(change(Check("AddLinksCheckbox"), false), 1);
        EXPECT_FALSE(Edit("EditPrev")->isEnabled());
        EXPECT_FALSE(Check("UseImagesCheckbox")->isEnabled());
        EXPECT_FALSE(Shown().contains("Previous"));
        EXPECT_EQ(dlg->CurrentSettings().BreakOn, 1);
    }
}

TEST_F(OptionsRulesTest, EditsShowTheWindowColourWhenEnabledAndTheButtonFaceWhenNot)
{
    CreateWithEverythingOn();
    const QPalette standard = QApplication::palette(Edit("EditPrev"));
    const QColor window = standard.color(QPalette::Active, QPalette::Base);
    const QColor face = standard.color(QPalette::Active, QPalette::Button);
    ASSERT_NE(window, face);
    const char* texts[] = {"EditPrev", "EditHome", "EditNext"};
    const char* images[] = {"EditPrevImage", "EditHomeImage", "EditNextImage"};
    auto expectAll = [&](const char* const(&names)[3], const QColor& colour) {
        for (const char* name : names)
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                EXPECT_EQ(Base(Edit(name), group), colour) << name << " group " << group;
    };
    expectAll(texts, window);
    expectAll(images, window);

    SetChecked(Check("UseImagesCheckbox"), false);
    expectAll(texts, window);
    expectAll(images, face);

    SetChecked(Check("UseImagesCheckbox"), true);
    SetChecked(Check("AddLinksCheckbox"), false);
    expectAll(texts, face);
    expectAll(images, face);

    SetChecked(Check("AddLinksCheckbox"), true);
    expectAll(texts, window);
    expectAll(images, window);
}

TEST_F(OptionsRulesTest, OnlyTheLinkTextsUpdateThePreviewAsTheyAreTyped)
{
    CreateWithEverythingOn();
    SetChecked(Check("UseImagesCheckbox"), false);
    QSignalSpy updates(Browser(), &QTextEdit::textChanged);

    Type(Edit("EditPrev"), "Back");
    EXPECT_GE(updates.count(), 4);
    EXPECT_TRUE(Shown().contains("Back|Home|Next"));
    Type(Edit("EditHome"), "Top");
    Type(Edit("EditNext"), "On");
    EXPECT_TRUE(Shown().contains("Back|Top|On"));

    SetChecked(Check("UseImagesCheckbox"), true);
    updates.clear();
    Type(Edit("BreadcrumbTextEdit"), "Path:");
    Type(Edit("EditPrevImage"), "a.gif");
    Type(Edit("EditHomeImage"), "b.gif");
    Type(Edit("EditNextImage"), "c.gif");
    EXPECT_EQ(updates.count(), 0);
    EXPECT_FALSE(Shown().contains("Path:"));

    // The next update of any other kind shows what was typed.
    SetChecked(Check("NavigationCheckbox"), false);
    EXPECT_TRUE(Shown().contains("Path:Chapter V"));
    EXPECT_TRUE(dlg->BuildPreviewHtml().contains("<IMG SRC=\"c.gif\" ALT=\"On\""));
}

TEST_F(OptionsRulesTest, FormStartsWithItsOwnValuesAndEveryHintIsAlsoAStatusTip)
{
    SetProgramVersionInfo(std::nullopt); // nothing loaded: the form's own values stay
    Create();
    EXPECT_EQ(dlg->windowTitle(), "Options");
    EXPECT_EQ(dlg->font(), FormFont());
    EXPECT_EQ(dlg->font().pointSize(), 8);
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_TRUE(Button("OKBtn")->isDefault());
    EXPECT_FALSE(Button("CancelBtn")->isDefault());
    EXPECT_EQ(dlg->CurrentSettings(), SplitSettings::WhenStoreUnavailable());
    EXPECT_EQ(Edit("BreadcrumbTextEdit")->text(), "You are here:");

    int hints = 0;
    for (QWidget* w : dlg->findChildren<QWidget*>()) {
        if (w->toolTip().isEmpty())
            continue;
        ++hints;
        EXPECT_EQ(w->statusTip(), w->toolTip()) << w->objectName().toStdString();
    }
    EXPECT_EQ(hints, 26); // all but the three dialog buttons and the separator line
    EXPECT_EQ(Edit("EditHome")->toolTip(), "Every splitted file will contain a link to the home "
                                           "(index) file. This text will appear as the link.");
    EXPECT_EQ(Edit("EditNextImage")->toolTip(),
              "Fill in the relative path to the image (gif or jpg)");
    EXPECT_EQ(Check("AddLinksCheckbox")->toolTip(),
              "Add Previous/Home/Next links on top and at the bottom");
    EXPECT_EQ(Get<QGroupBox>("RadioGroup1")->toolTip(),
              "Files will be splitted when heading text is encountered. Choose the heading level "
              "here.");
    EXPECT_EQ(Browser()->toolTip(), "Preview what the links will look like");
    for (const char* name : {"OKBtn", "CancelBtn", "HelpButton"})
        EXPECT_TRUE(Button(name)->toolTip().isEmpty()) << name;

    // "Break on:" holds its three choices side by side.
    auto* group = Get<QGroupBox>("RadioGroup1");
    EXPECT_EQ(group->title(), "Break on:");
    for (int level = 1; level <= 3; ++level) {
        EXPECT_EQ(Level(level)->text(), QString("Heading %1").arg(level));
        EXPECT_EQ(Level(level)->parentWidget(), group);
    }
    EXPECT_EQ(Level(1)->y(), Level(3)->y());
    EXPECT_LT(Level(1)->x(), Level(2)->x());
    EXPECT_LT(Level(2)->x(), Level(3)->x());

    auto* line = Get<QFrame>("Panel1");
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(line->height(), 2);
}

TEST_F(OptionsRulesTest, LayoutKeepsTheButtonColumnRightAndTheGroupsStackedLeft)
{
    Create();
    const char* groups[] = {"PreviewGroup",     "LinkingGroup", "NavigationGroup",
                            "BreadcrumbsGroup", "RadioGroup1",  "MoreOptionsGroup"};
    const char* titles[] = {"Preview",    "Linking splitted files",
                            "Navigation", "Breadcrumbs navigation",
                            "Break on:",  "More options"};
    int bottom = 0;
    for (int i = 0; i < 6; ++i) {
        auto* group = Get<QGroupBox>(groups[i]);
        EXPECT_EQ(group->title(), titles[i]);
        EXPECT_GE(group->y(), bottom) << groups[i];
        EXPECT_GE(group->width(), 357) << groups[i];
        bottom = group->geometry().bottom();
    }
    QPushButton* ok = Button("OKBtn");
    QPushButton* cancel = Button("CancelBtn");
    QPushButton* help = Button("HelpButton");
    EXPECT_GT(ok->x(), Get<QGroupBox>("PreviewGroup")->geometry().right());
    EXPECT_EQ(ok->x(), cancel->x());
    EXPECT_EQ(ok->x(), help->x());
    EXPECT_GT(cancel->y(), ok->geometry().bottom());
    // Help stands apart, lower than the gap between OK and Cancel.
    EXPECT_GT(help->y() - cancel->geometry().bottom(), 2 * (cancel->y() - ok->geometry().bottom()));
    EXPECT_GE(ok->width(), 75);
    EXPECT_GE(ok->height(), 25);
    // Every caption fits its control.
    for (QWidget* w : dlg->findChildren<QWidget*>()) {
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_GE(button->width(), button->minimumSizeHint().width())
                << button->objectName().toStdString();
        }
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_GE(label->width(), label->minimumSizeHint().width())
                << label->objectName().toStdString();
        }
    }
}

TEST_F(OptionsRulesTest, TabOrderFollowsTheFormsTable)
{
    Create();
    const QStringList& expected = kTabOrder;
    QStringList chain;
    QWidget* w = Button("OKBtn");
    do {
        if (expected.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != Button("OKBtn") && chain.size() < 100);
    EXPECT_EQ(chain, expected);
}

TEST_F(OptionsRulesTest, EveryEditIsNamedByItsLabelForScreenReaders)
{
    Create();
    const std::pair<const char*, const char*> pairs[] = {
        {"PrevLabel", "EditPrev"},
        {"HomeLabel", "EditHome"},
        {"NextLabel", "EditNext"},
        {"PrevImageLabel", "EditPrevImage"},
        {"HomeImageLabel", "EditHomeImage"},
        {"NextImageLabel", "EditNextImage"},
        {"BreadcrumbTextLabel", "BreadcrumbTextEdit"},
        {"OutputFolderLabel", "OutputFolderEdit"},
    };
    const QStringList labels = {"Text for Previous link:",
                                "Text for Home link:",
                                "Text for Next link:",
                                "Image for Previous link:",
                                "Image for Home link:",
                                "Image for Next link:",
                                "Text:",
                                "Output folder:"};
    for (int i = 0; i < 8; ++i) {
        QLabel* label = Get<QLabel>(pairs[i].first);
        QLineEdit* edit = Edit(pairs[i].second);
        EXPECT_EQ(label->text(), labels[i]);
        EXPECT_EQ(label->buddy(), edit) << pairs[i].second;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), labels[i]) << pairs[i].second;
    }
    QAccessibleInterface* preview = QAccessible::queryAccessibleInterface(Browser());
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->text(QAccessible::Name), "Preview");
}

TEST_F(OptionsRulesTest, HelpAsksForTheOptionsTopicAndLeavesTheDialogOpen)
{
    Create();
    QSignalSpy help(dlg.get(), &TOptionsDlg::HelpRequested);
    QTest::mouseClick(Button("HelpButton"), Qt::LeftButton);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toString(), "Options");
    EXPECT_TRUE(dlg->isVisible());
}

} // namespace
} // namespace optionstest
