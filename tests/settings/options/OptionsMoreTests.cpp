#include "tests/settings/options/OptionsTestFixture.h"

#include <QDir>
#include <QFileDialog>
#include <vector>

namespace optionstest {
namespace {

const char* const kMoreChecks[] = {"FixLinksCheckbox", "PageTitlesCheckbox", "HeadLinksCheckbox",
                                   "MissingBodyEndCheckbox", "ManifestCheckbox"};

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
};

TEST_F(OptionsMoreTest, TheNewGroupLeavesEveryOtherControlWhereItWas)
{
    Create();
    // Where these stood, relative to the dialog, before the group was added.
    struct Place
    {
        const char* name;
        QRect rect;
    };
    const Place before[] = {
        {"PreviewGroup", {8, 8, 385, 112}},     {"LinkingGroup", {8, 123, 385, 230}},
        {"EditPrev", {162, 168, 220, 22}},      {"BrowseNextBtn", {302, 320, 80, 21}},
        {"NavigationGroup", {8, 356, 385, 49}}, {"BreadcrumbTextEdit", {204, 429, 178, 22}},
        {"RadioGroup1", {8, 463, 385, 49}},     {"BreakOnHeading3", {265, 484, 117, 19}},
        {"OKBtn", {400, 12, 80, 25}},           {"HelpButton", {400, 99, 80, 25}},
    };
    auto placeOf = [this](const char* name) {
        QWidget* w = Get<QWidget>(name);
        return QRect(w->mapTo(dlg.get(), QPoint(0, 0)), w->size());
    };
    for (const Place& place : before)
        EXPECT_EQ(placeOf(place.name), place.rect) << place.name;
    EXPECT_EQ(dlg->width(), 485);

    // The group sits below the others, as wide as they are.
    auto* group = Get<QGroupBox>("MoreOptionsGroup");
    EXPECT_GT(group->y(), placeOf("RadioGroup1").bottom());
    EXPECT_EQ(group->x(), 8);
    EXPECT_EQ(group->width(), 385);
    EXPECT_LE(group->geometry().bottom(), dlg->height());
}

TEST_F(OptionsMoreTest, TheSixValuesComeFromTheStoreCancelRestoresThemAndThePreviewIgnoresThem)
{
    WriteFileText(
        KeyWith("\"FixLinks\"=dword:00000001\n\"PageTitles\"=dword:00000000\n"
                "\"HeadLinks\"=dword:00000001\n\"TolerateMissingBodyEnd\"=dword:00000000\n"
                "\"Manifest\"=dword:00000001\n\"OutputFolder\"=\"/srv/pages\""));
    Create();
    const std::vector<QString> stored = {"on", "off", "on", "off", "on", "/srv/pages"};
    EXPECT_EQ(MoreShown(), stored);
    SplitSettings settings = dlg->CurrentSettings();
    EXPECT_TRUE(settings.FixLinks && settings.HeadLinks && settings.Manifest);
    EXPECT_FALSE(settings.PageTitles || settings.TolerateMissingBodyEnd);
    EXPECT_EQ(settings.OutputFolder, "/srv/pages");

    const QString preview = dlg->BuildPreviewHtml();
    const QString shown = Shown();
    for (const char* name : kMoreChecks)
        SetChecked(Check(name), !Check(name)->isChecked());
    Type(Edit("OutputFolderEdit"), "elsewhere");
    settings = dlg->CurrentSettings();
    EXPECT_FALSE(settings.FixLinks || settings.HeadLinks || settings.Manifest);
    EXPECT_TRUE(settings.PageTitles && settings.TolerateMissingBodyEnd);
    EXPECT_EQ(settings.OutputFolder, "elsewhere");
    EXPECT_EQ(dlg->BuildPreviewHtml(), preview);
    EXPECT_EQ(Shown(), shown);

    QTest::mouseClick(Button("CancelBtn"), Qt::LeftButton);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(MoreShown(), stored);

    // Nothing stored: all off and no folder.
    WriteFileText(KeyWith(""));
    Create();
    EXPECT_EQ(MoreShown(), std::vector<QString>({"off", "off", "off", "off", "off", ""}));
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
