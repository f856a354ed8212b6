#include "tests/settings/options/OptionsTestFixture.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace optionstest {
namespace {

const char* const kMoreChecks[] = {
    "FixLinksCheckbox", "PageTitlesCheckbox", "HeadLinksCheckbox", "MissingBodyEndCheckbox",
    "ManifestCheckbox", "SidebarCheckbox",    "SearchCheckbox"};

// The dialog's controls as they read: group by group, row by row, left to right, with their
// captions (none for the edits, the preview and the line). Sizes follow the font, so the
// layout is checked by these relations rather than by pixels.
struct Control
{
    const char* name;
    const char* caption;
};
struct Group
{
    const char* name;
    const char* title;
    std::vector<std::vector<Control>> rows;
};

const std::vector<Group>& Groups()
{
    static const std::vector<Group> groups = {
        {"PreviewGroup", "Preview", {{{"CppWebBrowser1", nullptr}}}},
        {"LinkingGroup",
         "Linking splitted files",
         {{{"AddLinksCheckbox", "Add links"}},
          {{"PrevLabel", "Text for Previous link:"}, {"EditPrev", nullptr}},
          {{"HomeLabel", "Text for Home link:"}, {"EditHome", nullptr}},
          {{"NextLabel", "Text for Next link:"}, {"EditNext", nullptr}},
          {{"Panel1", nullptr}},
          {{"UseImagesCheckbox", "Use images"}},
          {{"PrevImageLabel", "Image for Previous link:"},
           {"EditPrevImage", nullptr},
           {"BrowsePrevBtn", "Browse..."}},
          {{"HomeImageLabel", "Image for Home link:"},
           {"EditHomeImage", nullptr},
           {"BrowseHomeBtn", "Browse..."}},
          {{"NextImageLabel", "Image for Next link:"},
           {"EditNextImage", nullptr},
           {"BrowseNextBtn", "Browse..."}}}},
        {"NavigationGroup", "Navigation", {{{"NavigationCheckbox", "Create navigation pane"}}}},
        {"BreadcrumbsGroup",
         "Breadcrumbs navigation",
         {{{"BreadcrumbsCheckbox", "Add breadcrumbs"},
           {"BreadcrumbTextLabel", "Text:"},
           {"BreadcrumbTextEdit", nullptr}}}},
        {"RadioGroup1",
         "Break on:",
         {{{"BreakOnHeading1", "Heading 1"},
           {"BreakOnHeading2", "Heading 2"},
           {"BreakOnHeading3", "Heading 3"}}}},
        {"MoreOptionsGroup",
         "More options",
         {{{"FixLinksCheckbox", "Fix links between pages"}, {"MoreHelpBtn", "Help"}},
          {{"PageTitlesCheckbox", "Page titles from headings"}},
          {{"HeadLinksCheckbox", "Previous/next links in page heads"}},
          {{"MissingBodyEndCheckbox", "Accept a missing end of body"}},
          {{"ManifestCheckbox", "Write a manifest (DOCpages.json)"}},
          {{"SidebarCheckbox", "Contents beside every page"}},
          {{"SearchCheckbox", "Search box for the pages"}},
          {{"OutputFolderLabel", "Output folder:"},
           {"OutputFolderEdit", nullptr},
           {"BrowseFolderBtn", "Browse..."}}}},
    };
    return groups;
}

// The button column, top to bottom.
const Control kButtons[] = {{"OKBtn", "OK"}, {"CancelBtn", "Cancel"}, {"HelpButton", "Help"}};

// Controls of the link grid that share an edge: the labels' left, the edits' left, and the
// right edge of the text edits and the browse buttons.
const std::vector<std::vector<const char*>> kSameLeft = {
    {"PrevLabel", "HomeLabel", "NextLabel", "UseImagesCheckbox", "PrevImageLabel", "HomeImageLabel",
     "NextImageLabel"},
    {"EditPrev", "EditHome", "EditNext", "EditPrevImage", "EditHomeImage", "EditNextImage"}};
const std::vector<const char*> kSameRight = {"EditPrev",      "EditHome",      "EditNext",
                                             "BrowsePrevBtn", "BrowseHomeBtn", "BrowseNextBtn"};

class OptionsMoreTest : public OptionsTest
{
protected:
    // The six values as the controls show them.
    std::vector<QString> MoreShown() const
    {
        std::vector<QString> shown;
        for (const char* name : kMoreChecks)
            shown.push_back(Check(name)->isChecked() ? "on" : "off");
        shown.push_back(Edit("OutputFolderEdit")->text());
        return shown;
    }

    // Where a control stands, relative to the dialog.
    QRect PlaceOf(const char* name) const
    {
        QWidget* w = Get<QWidget>(name);
        return QRect(w->mapTo(dlg.get(), QPoint(0, 0)), w->size());
    }

    static QString CaptionOf(QWidget* w)
    {
        if (auto* group = qobject_cast<QGroupBox*>(w))
            return group->title();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            return button->text();
        if (auto* label = qobject_cast<QLabel*>(w))
            return label->text();
        return {};
    }

    // Lays the dialog out again after a change, as the event loop would.
    void Settle() const
    {
        dlg->layout()->activate();
        QCoreApplication::processEvents();
    }

    // Every relation of the table that does not hold, one line each.
    std::vector<std::string> LayoutFaults() const
    {
        std::vector<std::string> faults;
        auto fault = [&faults](const std::string& a, const char* what, const std::string& b) {
            faults.push_back(a + what + b);
        };
        auto caption = [&](const char* name, const char* expected) {
            if (expected && CaptionOf(Get<QWidget>(name)) != QString::fromUtf8(expected))
                fault(name, " reads ", '"' + CaptionOf(Get<QWidget>(name)).toStdString() + '"');
        };
        // Below: no part of it is as high as any part of the one above.
        auto below = [&](const char* name, const char* above) {
            if (PlaceOf(name).top() <= PlaceOf(above).bottom())
                fault(name, " is not below ", above);
        };

        std::vector<const char*> controls;
        const char* groupAbove = nullptr;
        for (const Group& group : Groups()) {
            const QRect box = PlaceOf(group.name);
            caption(group.name, group.title);
            if (!dlg->rect().contains(box))
                fault(group.name, " is outside ", "the dialog");
            if (groupAbove) {
                below(group.name, groupAbove);
                const QRect above = PlaceOf(groupAbove);
                if (box.left() != above.left() || box.right() != above.right())
                    fault(group.name, " is out of the column of ", groupAbove);
            }
            groupAbove = group.name;

            const std::vector<Control>* rowAbove = nullptr;
            for (const std::vector<Control>& row : group.rows) {
                const char* left = nullptr;
                for (const Control& control : row) {
                    const QRect place = PlaceOf(control.name);
                    caption(control.name, control.caption);
                    if (!box.contains(place))
                        fault(control.name, " is outside ", group.name);
                    if (left && place.left() <= PlaceOf(left).right())
                        fault(control.name, " is not right of ", left);
                    if (left && (place.top() > PlaceOf(left).bottom() ||
                                 place.bottom() < PlaceOf(left).top()))
                        fault(control.name, " is out of the row of ", left);
                    if (rowAbove) {
                        for (const Control& above : *rowAbove)
                            below(control.name, above.name);
                    }
                    left = control.name;
                    controls.push_back(control.name);
                }
                rowAbove = &row;
            }
        }

        const char* buttonAbove = nullptr;
        for (const Control& button : kButtons) {
            caption(button.name, button.caption);
            if (buttonAbove) {
                below(button.name, buttonAbove);
                if (PlaceOf(button.name).left() != PlaceOf(buttonAbove).left())
                    fault(button.name, " is out of the column of ", buttonAbove);
            }
            for (const Group& group : Groups()) {
                if (PlaceOf(button.name).left() <= PlaceOf(group.name).right())
                    fault(button.name, " is not right of ", group.name);
            }
            if (!dlg->rect().contains(PlaceOf(button.name)))
                fault(button.name, " is outside ", "the dialog");
            buttonAbove = button.name;
            controls.push_back(button.name);
        }

        for (const std::vector<const char*>& column : kSameLeft) {
            for (const char* name : column) {
                if (PlaceOf(name).left() != PlaceOf(column[0]).left())
                    fault(name, " does not line up on the left with ", column[0]);
            }
        }
        for (const char* name : kSameRight) {
            if (PlaceOf(name).right() != PlaceOf(kSameRight[0]).right())
                fault(name, " does not line up on the right with ", kSameRight[0]);
        }

        for (std::size_t i = 0; i < controls.size(); ++i) {
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                if (PlaceOf(controls[i]).intersects(PlaceOf(controls[j])))
                    fault(controls[i], " overlaps ", controls[j]);
            }
        }
        return faults;
    }

    // Every place of the table but those inside "More options".
    std::map<std::string, QRect> EarlierPlaces() const
    {
        std::map<std::string, QRect> places;
        for (const Group& group : Groups()) {
            if (std::string_view(group.name) == "MoreOptionsGroup")
                continue;
            places[group.name] = PlaceOf(group.name);
            for (const std::vector<Control>& row : group.rows) {
                for (const Control& control : row)
                    places[control.name] = PlaceOf(control.name);
            }
        }
        for (const Control& button : kButtons)
            places[button.name] = PlaceOf(button.name);
        return places;
    }

    bool HasFault(const std::string& fault) const
    {
        const std::vector<std::string> faults = LayoutFaults();
        return std::find(faults.begin(), faults.end(), fault) != faults.end();
    }
};

TEST_F(OptionsMoreTest, TheNewGroupLeavesEveryOtherControlWhereItWas)
{
    Create();
    EXPECT_EQ(LayoutFaults(), std::vector<std::string>());

    // Without the group, every other control stands exactly where it stands with it.
    const std::map<std::string, QRect> with = EarlierPlaces();
    const QSize size = dlg->size();
    auto* more = Get<QGroupBox>("MoreOptionsGroup");
    more->hide();
    Settle();
    EXPECT_LT(dlg->height(), size.height());
    EXPECT_EQ(dlg->width(), size.width());
    const std::map<std::string, QRect> without = EarlierPlaces();
    for (const auto& [name, place] : with)
        EXPECT_EQ(without.at(name), place) << name;
    more->show();
    Settle();
    EXPECT_EQ(dlg->size(), size);

    // The relations still catch a control out of place: a label laid over its edit, and the
    // group put above "Break on:".
    QWidget* label = Get<QWidget>("HomeLabel");
    const QPoint labelAt = label->pos();
    label->move(Get<QWidget>("EditHome")->pos());
    EXPECT_TRUE(HasFault("HomeLabel overlaps EditHome"));
    label->move(labelAt);
    EXPECT_EQ(LayoutFaults(), std::vector<std::string>());

    auto* column = dlg->findChild<QBoxLayout*>("GroupColumn");
    ASSERT_NE(column, nullptr);
    column->removeWidget(more);
    column->insertWidget(column->indexOf(Get<QWidget>("RadioGroup1")), more);
    Settle();
    EXPECT_TRUE(HasFault("MoreOptionsGroup is not below RadioGroup1"));
    EXPECT_NE(EarlierPlaces(), with);
}

TEST_F(OptionsMoreTest, TheEightValuesComeFromTheStoreCancelRestoresThemAndThePreviewIgnoresThem)
{
    WriteFileText(
        KeyWith("\"FixLinks\"=dword:00000001\n\"PageTitles\"=dword:00000000\n"
                "\"HeadLinks\"=dword:00000001\n\"TolerateMissingBodyEnd\"=dword:00000000\n"
                "\"Manifest\"=dword:00000001\n\"OutputFolder\"=\"/srv/pages\"\n"
                "\"Sidebar\"=dword:00000000\n\"Search\"=dword:00000001"));
    Create();
    const std::vector<QString> stored = {"on", "off", "on", "off", "on", "off", "on", "/srv/pages"};
    EXPECT_EQ(MoreShown(), stored);
    SplitSettings settings = dlg->CurrentSettings();
    EXPECT_TRUE(settings.FixLinks && settings.HeadLinks && settings.Manifest && settings.Search);
    EXPECT_FALSE(settings.PageTitles || settings.TolerateMissingBodyEnd || settings.Sidebar);
    EXPECT_EQ(settings.OutputFolder, "/srv/pages");

    const QString preview = dlg->BuildPreviewHtml();
    const QString shown = Shown();
    for (const char* name : kMoreChecks)
        SetChecked(Check(name), !Check(name)->isChecked());
    Type(Edit("OutputFolderEdit"), "elsewhere");
    settings = dlg->CurrentSettings();
    EXPECT_FALSE(settings.FixLinks || settings.HeadLinks || settings.Manifest || settings.Search);
    EXPECT_TRUE(settings.PageTitles && settings.TolerateMissingBodyEnd && settings.Sidebar);
    EXPECT_EQ(settings.OutputFolder, "elsewhere");
    EXPECT_EQ(dlg->BuildPreviewHtml(), preview);
    EXPECT_EQ(Shown(), shown);

    QTest::mouseClick(Button("CancelBtn"), Qt::LeftButton);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(MoreShown(), stored);

    // Nothing stored: all off and no folder.
    WriteFileText(KeyWith(""));
    Create();
    EXPECT_EQ(MoreShown(),
              std::vector<QString>({"off", "off", "off", "off", "off", "off", "off", ""}));
    EXPECT_FALSE(Edit("OutputFolderEdit")->placeholderText().isEmpty());
}

TEST_F(OptionsMoreTest, TheFolderChooserOffersFoldersOnlyAndFillsTheEdit)
{
    Create();
    testsupport::TempDir files;
    const QString folder = QString::fromStdString(files.Path().string());
    std::vector<QFileDialog*> seen;
    QString startedIn;
    std::optional<QString> answer = folder + "/out";
    dlg->SetBrowseRunner([&](QFileDialog& dialog) -> std::optional<QString> {
        seen.push_back(&dialog);
        startedIn = dialog.directory().absolutePath();
        EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly));
        return answer;
    });

    QTest::mouseClick(Button("BrowseFolderBtn"), Qt::LeftButton);
    EXPECT_EQ(Edit("OutputFolderEdit")->text(), QDir::toNativeSeparators(folder + "/out"));

    // Cancelled: the folder stays; the chooser opened where the edit points.
    Type(Edit("OutputFolderEdit"), folder);
    answer.reset();
    QTest::mouseClick(Button("BrowseFolderBtn"), Qt::LeftButton);
    EXPECT_EQ(Edit("OutputFolderEdit")->text(), folder);
    EXPECT_EQ(startedIn, QDir(folder).absolutePath());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(dlg->CurrentSettings().OutputFolder, folder.toStdString());

    // The image buttons keep a file dialog of their own.
    SetChecked(Check("AddLinksCheckbox"), true);
    SetChecked(Check("UseImagesCheckbox"), true);
    std::vector<QFileDialog*> images;
    dlg->SetBrowseRunner([&](QFileDialog& dialog) -> std::optional<QString> {
        images.push_back(&dialog);
        return std::nullopt;
    });
    QTest::mouseClick(Button("BrowsePrevBtn"), Qt::LeftButton);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_NE(images[0], seen[0]);
    EXPECT_EQ(images[0]->fileMode(), QFileDialog::AnyFile);
}

TEST_F(OptionsMoreTest, TheGroupsHelpAsksForItsOwnTopic)
{
    Create();
    QSignalSpy help(dlg.get(), &TOptionsDlg::HelpRequested);
    QTest::mouseClick(Button("MoreHelpBtn"), Qt::LeftButton);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toString(), "MoreOptions");
    EXPECT_TRUE(dlg->isVisible());
}

} // namespace
} // namespace optionstest
