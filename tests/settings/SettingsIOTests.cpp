#include "settings/SettingsIO.h"
#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestFixture.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

class SettingsLoadTest : public SettingsFixture
{
};

// Settings unlike every default, with texts the file must escape.
SplitSettings Edited()
{
    SplitSettings s;
    s.AddLinks = true;
    s.PreviousLinkText = "<< Back";
    s.HomeLinkText = "Index \"top\"";
    s.NextLinkText = "Forward\r\n>>";
    s.BreakOn = 3;
    s.PrevLinkImage = "C:\\img\\prev.png";
    s.HomeLinkImage = "images/home.gif";
    s.NextLinkImage = "/abs/next.jpg";
    s.UseImages = true;
    s.Navigation = true;
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "Path:";
    s.FixLinks = s.PageTitles = s.HeadLinks = s.TolerateMissingBodyEnd = s.Manifest = true;
    s.Sidebar = s.Search = true;
    s.OutputFolder = "/out/pages \"here\"";
    return s;
}

TEST_F(SettingsLoadTest, FirstStartTakesTheDefaultsAndStoresBreakOnAtOnce)
{
    SplitSettings settings = InitialSettings();

    const std::string folder = LinkImageFolder();
    EXPECT_FALSE(settings.AddLinks);
    EXPECT_EQ(settings.PreviousLinkText, "Previous");
    EXPECT_EQ(settings.HomeLinkText, "Home");
    EXPECT_EQ(settings.NextLinkText, "Next");
    EXPECT_EQ(settings.BreakOn, 2);
    EXPECT_EQ(settings.PrevLinkImage, folder + "prev1.gif");
    EXPECT_EQ(settings.HomeLinkImage, folder + "home1.gif");
    EXPECT_EQ(settings.NextLinkImage, folder + "next1.gif");
    EXPECT_FALSE(settings.UseImages);
    EXPECT_FALSE(settings.Navigation);
    EXPECT_FALSE(settings.Breadcrumbs);
    EXPECT_EQ(settings.BreadcrumbsText, "");
    EXPECT_EQ(settings, SplitSettings::WhenNothingStored(folder));

    EXPECT_EQ(storedkey::ValueNames(), std::vector<std::string>{"BreakOn"});
    EXPECT_EQ(storedkey::Value("BreakOn"), RegistryValue::Dword(2));
}

TEST_F(SettingsLoadTest, ProgramFolderHoldsTheRunningProgram)
{
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::path(folder).is_absolute());
#ifdef _WIN32
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(fs::is_regular_file(folder + "settings_tests.exe"));
#else
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::is_regular_file(folder + "settings_tests"));
#endif
}

TEST_F(SettingsLoadTest, LinkImagesAreBesideTheProgramOrWhereAnInstallationPutsThem)
{
    // The build tree has them beside the program.
    EXPECT_EQ(LinkImageFolder(), ProgramFolder());
    EXPECT_TRUE(fs::is_regular_file(LinkImageFolder() + "prev1.gif"));

    // An installation: the programs in bin/, the images in share/quirefold/.
    testsupport::TempDir root;
    const fs::path bin = root.Path() / "usr" / "bin";
    const fs::path share = root.Path() / "usr" / "share" / "quirefold";
    fs::create_directories(bin);
    fs::create_directories(share);
    testsupport::WriteAll(share / "prev1.gif", "GIF89a");
    const std::string programFolder = (bin / "").string();
    EXPECT_EQ(LinkImageFolderFor(programFolder), (share / "").string());
    // Images beside the program come first.
    testsupport::WriteAll(bin / "prev1.gif", "GIF89a");
    EXPECT_EQ(LinkImageFolderFor(programFolder), programFolder);
}

TEST_F(SettingsLoadTest, SavedSettingsLoadBackUnchanged)
{
    SaveSettings(Edited());
    EXPECT_EQ(InitialSettings(), Edited());

    SplitSettings off = Edited();
    off.AddLinks = off.UseImages = off.Navigation = off.Breadcrumbs = false;
    off.BreakOn = 1;
    SaveSettings(off);
    EXPECT_EQ(InitialSettings(), off);
}

TEST_F(SettingsLoadTest, SaveWritesTheTwentyValuesWithFlagsAsNumbers)
{
    SaveSettings(Edited());
    const std::pair<std::string, RegistryValue> stored[] = {
        {"NoLinks", RegistryValue::Dword(1)},
        {"PreviousLinkText", RegistryValue::String("<< Back")},
        {"HomeLinkText", RegistryValue::String("Index \"top\"")},
        {"NextLinkText", RegistryValue::String("Forward\r\n>>")},
        {"BreakOn", RegistryValue::Dword(3)},
        {"PrevLinkImage", RegistryValue::String("C:\\img\\prev.png")},
        {"HomeLinkImage", RegistryValue::String("images/home.gif")},
        {"NextLinkImage", RegistryValue::String("/abs/next.jpg")},
        {"UseImages", RegistryValue::Dword(1)},
        {"Navigation", RegistryValue::Dword(1)},
        {"Breadcrumbs", RegistryValue::Dword(1)},
        {"BreadcrumbsText", RegistryValue::String("Path:")},
        {"FixLinks", RegistryValue::Dword(1)},
        {"PageTitles", RegistryValue::Dword(1)},
        {"HeadLinks", RegistryValue::Dword(1)},
        {"TolerateMissingBodyEnd", RegistryValue::Dword(1)},
        {"Manifest", RegistryValue::Dword(1)},
        {"OutputFolder", RegistryValue::String("/out/pages \"here\"")},
        {"Sidebar", RegistryValue::Dword(1)},
        {"Search", RegistryValue::Dword(1)},
    };
    std::vector<std::string> names = storedkey::ValueNames();
    EXPECT_EQ(names.size(), std::size(stored));
    for (const auto& [name, value] : stored)
        EXPECT_EQ(storedkey::Value(name), value) << name;

    SplitSettings off = Edited();
    off.AddLinks = off.UseImages = off.Navigation = off.Breadcrumbs = false;
    off.FixLinks = off.PageTitles = off.HeadLinks = off.TolerateMissingBodyEnd = off.Manifest =
        off.Sidebar = off.Search = false;
    off.OutputFolder.clear();
    SaveSettings(off);
    for (const char* flag :
         {"NoLinks", "UseImages", "Navigation", "Breadcrumbs", "FixLinks", "PageTitles",
          "HeadLinks", "TolerateMissingBodyEnd", "Manifest", "Sidebar", "Search"})
        EXPECT_EQ(storedkey::Value(flag), RegistryValue::Dword(0)) << flag;
    // An empty folder is stored as such, so that it clears one stored before.
    EXPECT_EQ(storedkey::Value("OutputFolder"), RegistryValue::String(""));
}

#ifndef _WIN32
TEST_F(SettingsLoadTest, SaveWritesTheValuesInTheirOrder)
{
    SaveSettings(Edited());
    EXPECT_EQ(FileText(), KeyWith("\"NoLinks\"=dword:00000001\n"
                                  "\"PreviousLinkText\"=\"<< Back\"\n"
                                  "\"HomeLinkText\"=\"Index \\\"top\\\"\"\n"
                                  "\"NextLinkText\"=hex(1):46,6f,72,77,61,72,64,0d,0a,3e,3e,00\n"
                                  "\"BreakOn\"=dword:00000003\n"
                                  "\"PrevLinkImage\"=\"C:\\\\img\\\\prev.png\"\n"
                                  "\"HomeLinkImage\"=\"images/home.gif\"\n"
                                  "\"NextLinkImage\"=\"/abs/next.jpg\"\n"
                                  "\"UseImages\"=dword:00000001\n"
                                  "\"Navigation\"=dword:00000001\n"
                                  "\"Breadcrumbs\"=dword:00000001\n"
                                  "\"BreadcrumbsText\"=\"Path:\"\n"
                                  "\"FixLinks\"=dword:00000001\n"
                                  "\"PageTitles\"=dword:00000001\n"
                                  "\"HeadLinks\"=dword:00000001\n"
                                  "\"TolerateMissingBodyEnd\"=dword:00000001\n"
                                  "\"Manifest\"=dword:00000001\n"
                                  "\"OutputFolder\"=\"/out/pages \\\"here\\\"\"\n"
                                  "\"Sidebar\"=dword:00000001\n"
                                  "\"Search\"=dword:00000001"));
}
#endif

TEST_F(SettingsLoadTest, StoredBreakOnIsClampedAndZeroStoresTheLevelInForce)
{
    struct Case
    {
        std::int32_t stored;
        int current;
        int expected;
        std::int32_t storedAfter;
    };
    const Case cases[] = {
        {1, 2, 1, 1},   {3, 1, 3, 3},
        {4, 2, 3, 4},   {INT32_MAX, 2, 3, INT32_MAX},
        {-1, 2, 0, -1}, {INT32_MIN, 3, 0, INT32_MIN},
        {0, 3, 3, 3},   {0, 1, 1, 1},
        {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SettingsStore().WriteInteger("BreakOn", c.stored));
        SplitSettings settings;
        settings.BreakOn = c.current;
        LoadSettings(settings);
        EXPECT_EQ(settings.BreakOn, c.expected) << "stored " << c.stored;
        EXPECT_EQ(SettingsStore().ReadInteger("BreakOn"), c.storedAfter) << "stored " << c.stored;
    }

    // Missing, or of another type, counts as 0.
    storedkey::Remove();
    SplitSettings settings;
    settings.BreakOn = 1;
    LoadSettings(settings);
    EXPECT_EQ(settings.BreakOn, 1);
    EXPECT_EQ(SettingsStore().ReadInteger("BreakOn"), 1);
    ASSERT_TRUE(SettingsStore().WriteString("BreakOn", "3"));
    LoadSettings(settings);
    EXPECT_EQ(settings.BreakOn, 1);
    EXPECT_EQ(SettingsStore().ReadInteger("BreakOn"), 1);
}

TEST_F(SettingsLoadTest, AnyNonZeroFlagCountsAsSet)
{
    const char* flags[] = {"NoLinks",  "UseImages",  "Navigation", "Breadcrumbs",
                           "FixLinks", "PageTitles", "HeadLinks",  "TolerateMissingBodyEnd",
                           "Manifest"};
    for (std::int32_t stored : {1, 2, -1, INT32_MIN, 0}) {
        SettingsStore store;
        for (const char* name : flags)
            store.WriteInteger(name, stored);
        SplitSettings settings = Edited();
        settings.AddLinks = settings.UseImages = settings.Navigation = settings.Breadcrumbs =
            settings.FixLinks = settings.PageTitles = settings.HeadLinks =
                settings.TolerateMissingBodyEnd = settings.Manifest = stored == 0;
        LoadSettings(settings);
        bool expected = stored != 0;
        EXPECT_EQ(settings.FixLinks, expected) << stored;
        EXPECT_EQ(settings.PageTitles, expected) << stored;
        EXPECT_EQ(settings.HeadLinks, expected) << stored;
        EXPECT_EQ(settings.TolerateMissingBodyEnd, expected) << stored;
        EXPECT_EQ(settings.Manifest, expected) << stored;
        EXPECT_EQ(settings.AddLinks, expected) << stored;
        EXPECT_EQ(settings.UseImages, expected) << stored;
        EXPECT_EQ(settings.Navigation, expected) << stored;
        EXPECT_EQ(settings.Breadcrumbs, expected) << stored;
    }
}

TEST_F(SettingsLoadTest, StoreFromBeforeTheLaterOptionsReadsThemOffAndLeavesThemUnstored)
{
    // The twelve values an older version saved, all switched on.
    SplitSettings old = Edited();
    old.FixLinks = old.PageTitles = old.HeadLinks = old.TolerateMissingBodyEnd = old.Manifest =
        old.Sidebar = old.Search = false;
    old.OutputFolder.clear();
    SaveSettings(Edited());
    const std::vector<std::string> later = {
        "FixLinks", "PageTitles",   "HeadLinks", "TolerateMissingBodyEnd",
        "Manifest", "OutputFolder", "Sidebar",   "Search"};
    std::vector<std::pair<std::string, RegistryValue>> kept;
    for (const std::string& name : storedkey::ValueNames()) {
        if (std::find(later.begin(), later.end(), name) == later.end())
            kept.emplace_back(name, *storedkey::Value(name));
    }
    storedkey::Remove();
    for (const auto& [name, value] : kept)
        storedkey::Put(name, value);
    const std::vector<std::string> names = storedkey::ValueNames();
    ASSERT_EQ(names.size(), 12u);

    // Whatever was in force before, the store's silence means off.
    SplitSettings settings = Edited();
    LoadSettings(settings);
    EXPECT_EQ(settings, old);
    EXPECT_EQ(storedkey::ValueNames(), names);
}

TEST_F(SettingsLoadTest, EmptyStoredTextsFallBackExceptTheBreadcrumbLabel)
{
    SplitSettings stored = Edited();
    stored.PreviousLinkText = stored.HomeLinkText = stored.NextLinkText = "";
    stored.PrevLinkImage = stored.HomeLinkImage = stored.NextLinkImage = "";
    stored.BreadcrumbsText = "";
    SaveSettings(stored);

    // Link texts keep what is in force; images go back to the program's own.
    SplitSettings settings = SplitSettings::WhenStoreUnavailable();
    settings.PreviousLinkText = "edited";
    settings.PrevLinkImage = "edited.gif";
    LoadSettings(settings);
    EXPECT_EQ(settings.PreviousLinkText, "edited");
    EXPECT_EQ(settings.HomeLinkText, "Home");
    EXPECT_EQ(settings.NextLinkText, "Next");
    EXPECT_EQ(settings.PrevLinkImage, LinkImageFolder() + "prev1.gif");
    EXPECT_EQ(settings.HomeLinkImage, LinkImageFolder() + "home1.gif");
    EXPECT_EQ(settings.NextLinkImage, LinkImageFolder() + "next1.gif");
    EXPECT_EQ(settings.BreadcrumbsText, "");
    EXPECT_TRUE(settings.AddLinks);
    EXPECT_EQ(settings.BreakOn, 3);

    // Texts stored as another type read as empty too.
    storedkey::Remove();
    storedkey::Put("PreviousLinkText", RegistryValue::Dword(1));
    storedkey::Put("BreadcrumbsText", RegistryValue{RegType::Binary, std::string("A\0", 2)});
    settings = SplitSettings::WhenStoreUnavailable();
    LoadSettings(settings);
    EXPECT_EQ(settings.PreviousLinkText, "Previous");
    EXPECT_EQ(settings.BreadcrumbsText, "");
}

TEST_F(SettingsLoadTest, StoreUnavailableChangesNothingAndStoresNothing)
{
    SetProgramVersionInfo(std::nullopt);
    SplitSettings settings = Edited();
    LoadSettings(settings);
    EXPECT_EQ(settings, Edited());
    SaveSettings(settings);

    SplitSettings initial = InitialSettings();
    EXPECT_EQ(initial, SplitSettings::WhenStoreUnavailable());
    EXPECT_TRUE(initial.AddLinks);
    EXPECT_TRUE(initial.Breadcrumbs);
    EXPECT_EQ(initial.BreadcrumbsText, "You are here:");
    EXPECT_EQ(initial.PrevLinkImage, "");
    ResetProgramVersionInfo();
    EXPECT_FALSE(storedkey::Exists());
#ifndef _WIN32
    EXPECT_TRUE(fs::is_empty(ConfigHome()));
#endif
}

} // namespace
