// The options dialog and quirefold-split --save store the same settings in the same way.

#include "app/SplitCommand.h"
#include "tests/settings/options/OptionsTestFixture.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace optionstest {
namespace {

class OptionsCliTest : public OptionsTest
{
protected:
    // The key file quirefold-split leaves behind, run with args on a store of its own that
    // starts empty, as the dialog's did.
    std::string SavedByCommand(std::vector<std::string> args)
    {
        testsupport::TempDir config;
        const std::string dialogConfig = std::getenv("XDG_CONFIG_HOME");
        setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        args.insert(args.begin(), "--save");
        std::ostringstream out;
        std::ostringstream err;
        RunSplitCommand(args, out, err, {});
        setenv("XDG_CONFIG_HOME", dialogConfig.c_str(), 1);
        return testsupport::ReadAll(config.Path() / "Brisendale Software" / "Quirefold.reg");
    }

    std::string SavedByDialog()
    {
        QTest::mouseClick(Button("OKBtn"), Qt::LeftButton);
        return FileText();
    }
};

TEST_F(OptionsCliTest, EverythingOnGivesTheSameKeyFile)
{
    Create();
    SetChecked(Check("AddLinksCheckbox"), true);
    Type(Edit("EditPrev"), "<< Back");
    Type(Edit("EditHome"), "Index \"top\"");
    Type(Edit("EditNext"), QString::fromUtf8("Weiter \u00bb"));
    ChooseLevel(3);
    SetChecked(Check("UseImagesCheckbox"), true);
    Type(Edit("EditPrevImage"), "img/prev.png");
    Type(Edit("EditHomeImage"), "/abs/home.gif");
    Type(Edit("EditNextImage"), "next.jpg");
    SetChecked(Check("NavigationCheckbox"), true);
    SetChecked(Check("BreadcrumbsCheckbox"), true);
    Type(Edit("BreadcrumbTextEdit"), "Path: ");
    const std::string dialog = SavedByDialog();

    const std::string command = SavedByCommand(
        {"--links", "--prev-text=<< Back", "--home-text", "Index \"top\"",
         "--next-text=Weiter \xc2\xbb", "--break-on=3", "--images", "--prev-image=img/prev.png",
         "--home-image=/abs/home.gif", "--next-image=next.jpg", "--navigation", "--breadcrumbs",
         "--breadcrumbs-text=Path: "});
    EXPECT_NE(dialog.find("\"NextLinkText\"=\"Weiter \xc2\xbb\""), std::string::npos);
    EXPECT_EQ(dialog, command);
}

TEST_F(OptionsCliTest, TheMoreOptionsOnAndAnOutputFolderGiveTheSameKeyFile)
{
    Create();
    for (const char* name :
         {"FixLinksCheckbox", "PageTitlesCheckbox", "HeadLinksCheckbox", "MissingBodyEndCheckbox",
          "ManifestCheckbox", "SidebarCheckbox", "SearchCheckbox"})
        SetChecked(Check(name), true);
    // Absolute: the command takes a relative folder against its working folder.
    Type(Edit("OutputFolderEdit"), "/srv/split pages");
    const std::string dialog = SavedByDialog();

    const std::string command = SavedByCommand({"--fix-links", "--page-titles", "--head-links",
                                                "--tolerate-missing-body-end", "--manifest",
                                                "--sidebar", "--search", "-o", "/srv/split pages"});
    EXPECT_NE(dialog.find("\"TolerateMissingBodyEnd\"=dword:00000001"), std::string::npos);
    EXPECT_NE(dialog.find("\"OutputFolder\"=\"/srv/split pages\""), std::string::npos);
    EXPECT_EQ(dialog, command);
}

TEST_F(OptionsCliTest, EverythingOffWithEmptyTextsGivesTheSameKeyFile)
{
    Create();
    SetChecked(Check("AddLinksCheckbox"), true);
    Type(Edit("EditPrev"), "");
    Type(Edit("EditHome"), "");
    SetChecked(Check("AddLinksCheckbox"), false);
    ChooseLevel(1);
    Edit("EditPrevImage")->setText("");
    const std::string folder = LinkImageFolder();
    const std::string dialog = SavedByDialog();

    const std::string command = SavedByCommand(
        {"--no-links", "--prev-text=", "--home-text=", "-b", "1", "--no-images",
         "--prev-image=", "--no-navigation", "--no-breadcrumbs",
         "--breadcrumbs-text=", "--no-fix-links", "--no-page-titles", "--no-head-links",
         "--no-tolerate-missing-body-end", "--no-manifest", "--output-dir="});
    EXPECT_NE(dialog.find("\"HomeLinkImage\"=\"" + folder + "home1.gif\""), std::string::npos);
    EXPECT_EQ(dialog, command);
}

} // namespace
} // namespace optionstest
