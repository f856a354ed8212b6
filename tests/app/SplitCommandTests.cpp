#include "app/SplitCommand.h"
#include "app/SplitOptions.h"
#include "app/StopSignal.h"
#include "engine/SplitSettings.h"
#include "settings/SettingsIO.h"
#include "settings/SettingsStore.h"
#include "tests/common/TestSupport.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kDoc = "<HTML><HEAD></HEAD><BODY>intro<H1>One</H1>a<H2>Two</H2>b</BODY>";

class SplitCommandTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // Each test starts with an empty store of its own.
        testsupport::SetEnv("XDG_CONFIG_HOME", m_dir / "config");
        WriteAll(m_dir / "doc.html", kDoc);
        ClearStopRequest();
    }

    int Run(std::vector<std::string> args)
    {
        m_out.str("");
        m_err.str("");
        return RunSplitCommand(args, m_out, m_err,
                               [this](const std::string& p) { m_opened.push_back(p); });
    }
    std::string Doc() const { return m_dir / "doc.html"; }
    std::string Page(int n) const
    {
        return ReadAll(m_dir / ("doc00" + std::to_string(n) + ".html"));
    }

    TempDir m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
    std::vector<std::string> m_opened;
};

// Applies a parsed command line's changes to settings.
void Apply(const std::vector<std::string>& args, SplitSettings& settings)
{
    for (const auto& change : ParseSplitOptions(args).Overrides)
        change(settings);
}

TEST_F(SplitCommandTest, UsageErrorsNameTheProblemAndSplitNothing)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate", Doc()}, "unknown option '--frobnicate'"},
        {{"-x", Doc()}, "unknown option '-x'"},
        {{"--break-on=4", Doc()}, "invalid value '4' for --break-on"},
        {{"-b", "0", Doc()}, "invalid value '0' for --break-on"},
        {{Doc(), "--prev-text"}, "option '--prev-text' needs a value"},
        {{"--links=yes", Doc()}, "option '--links' takes no value"},
        {{"--manifest=x", Doc()}, "option '--manifest' takes no value"},
        {{Doc(), "-o"}, "option '-o' needs a value"},
        {{"--quiet"}, "no FILE given"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), 2) << message;
        EXPECT_NE(m_err.str().find(message), std::string::npos) << m_err.str();
        EXPECT_EQ(m_out.str(), "");
        EXPECT_FALSE(Exists(m_dir / "doc000.html")) << message;
    }
}

TEST_F(SplitCommandTest, HelpAndVersion)
{
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(m_out.str().find("Usage: quirefold-split [OPTIONS] FILE..."), std::string::npos);
    EXPECT_EQ(Run({"-V"}), 0);
    EXPECT_EQ(m_out.str().rfind("quirefold-split (Quirefold) ", 0), 0u);
}

TEST_F(SplitCommandTest, OptionsOverrideTheStartingSettings)
{
    EXPECT_EQ(Run({"--defaults", "--links", "-b", "1", "--prev-text", "Back", "--home-text=Top",
                   "--next-text", "On", Doc()}),
              0);
    // Break level 1: the H2 stays on page 1.
    EXPECT_FALSE(Exists(m_dir / "doc002.html"));
    EXPECT_NE(Page(1).find(">Top</A>&nbsp;</p><br>"), std::string::npos);
    EXPECT_NE(m_out.str().find("Splitting is complete. 1 files and 1 index file created.\n"),
              std::string::npos);

    EXPECT_EQ(Run({"--defaults", "--breadcrumbs", "--breadcrumbs-text", "Path:", "--navigation",
                   "--links", "--no-links", Doc()}),
              0);
    EXPECT_EQ(Page(2).find("quirefold_link_p"), std::string::npos); // the later option wins
    EXPECT_NE(Page(2).find("Path: <A class=\"quirefold_breadcrumb_a\""), std::string::npos);
    EXPECT_TRUE(Exists(m_dir / "docfs.html"));
}

TEST_F(SplitCommandTest, StoredSettingsSaveAndDefaults)
{
    // Nothing stored: the first run stores the break level, as a first start does.
    EXPECT_EQ(Run({Doc()}), 0);
    EXPECT_EQ(SettingsStore().ReadInteger("BreakOn"), 2);
    EXPECT_EQ(Page(1).find("quirefold_link_p"), std::string::npos);

    EXPECT_EQ(Run({"--links", "--next-text=Forward", "--save", Doc()}), 0);
    EXPECT_EQ(SettingsStore().ReadInteger("NoLinks"), 1);
    EXPECT_EQ(SettingsStore().ReadString("NextLinkText"), "Forward");

    // A later run without options uses what was saved...
    EXPECT_EQ(Run({Doc()}), 0);
    EXPECT_NE(Page(1).find(">Forward</A>"), std::string::npos);
    // ...unless it starts from the defaults.
    EXPECT_EQ(Run({"--defaults", Doc()}), 0);
    EXPECT_EQ(Page(1).find("quirefold_link_p"), std::string::npos);
    EXPECT_EQ(SettingsStore().ReadString("NextLinkText"), "Forward");

    // The document's folder is remembered.
    EXPECT_EQ(SettingsStore().ReadString("MRUFolder"), m_dir.Path().string());

    // Saving alone splits nothing and is no failure.
    EXPECT_EQ(Run({"--next-text=Onward", "--save"}), 0);
    EXPECT_EQ(SettingsStore().ReadString("NextLinkText"), "Onward");
    EXPECT_EQ(m_out.str(), "");
}

TEST_F(SplitCommandTest, LaterFlagsAndTheirNoFormsEachSetTheirOwnSetting)
{
    const std::pair<std::string, bool SplitSettings::*> flags[] = {
        {"fix-links", &SplitSettings::FixLinks},
        {"page-titles", &SplitSettings::PageTitles},
        {"head-links", &SplitSettings::HeadLinks},
        {"tolerate-missing-body-end", &SplitSettings::TolerateMissingBodyEnd},
        {"manifest", &SplitSettings::Manifest},
    };
    for (const auto& [name, field] : flags) {
        SplitSettings on;
        Apply({"--" + name, "f"}, on);
        SplitSettings expected;
        expected.*field = true;
        EXPECT_EQ(on, expected) << name;
        Apply({"--no-" + name, "f"}, on);
        EXPECT_EQ(on, SplitSettings()) << name;
    }
}

TEST_F(SplitCommandTest, OutputFolderInEveryFormTheEmptyOneClearing)
{
    const std::vector<std::string> forms[] = {
        {"-o", "out dir", "f"},
        {"-oout dir", "f"},
        {"--output-dir=out dir", "f"},
        {"--output-dir", "out dir", "f"},
    };
    for (const auto& args : forms) {
        SplitSettings s;
        Apply(args, s);
        // A folder named on the command line is the working folder's.
        EXPECT_EQ(s.OutputFolder, (std::filesystem::current_path() / "out dir").string())
            << args[0];
    }
    SplitSettings s;
    Apply({"-o", "a", "--output-dir=", "f"}, s);
    EXPECT_EQ(s.OutputFolder, "");
    Apply({"-o", "a", "-o", "", "f"}, s);
    EXPECT_EQ(s.OutputFolder, "");
}

TEST_F(SplitCommandTest, LaterSettingsSaveAbsoluteAndLoadBack)
{
    EXPECT_EQ(Run({"--fix-links", "--page-titles", "--head-links", "--tolerate-missing-body-end",
                   "--manifest", "-o", "rel/out", "--save"}),
              0);
    SplitSettings loaded = InitialSettings();
    EXPECT_TRUE(loaded.FixLinks && loaded.PageTitles && loaded.HeadLinks &&
                loaded.TolerateMissingBodyEnd && loaded.Manifest);
    // Made absolute against the working folder before it is stored.
    EXPECT_EQ(std::filesystem::path(loaded.OutputFolder),
              std::filesystem::current_path() / "rel" / "out");
    EXPECT_EQ(SettingsStore().ReadString("OutputFolder"), loaded.OutputFolder);

    // A run that names one of them leaves the others as stored.
    EXPECT_EQ(Run({"--no-manifest", "--save"}), 0);
    EXPECT_FALSE(InitialSettings().Manifest);
    EXPECT_TRUE(InitialSettings().FixLinks);
    EXPECT_EQ(InitialSettings().OutputFolder, loaded.OutputFolder);

    EXPECT_EQ(Run({"--no-fix-links", "--no-page-titles", "--no-head-links",
                   "--no-tolerate-missing-body-end", "--output-dir=", "--save"}),
              0);
    loaded = InitialSettings();
    EXPECT_FALSE(loaded.FixLinks || loaded.PageTitles || loaded.HeadLinks ||
                 loaded.TolerateMissingBodyEnd || loaded.Manifest);
    EXPECT_EQ(loaded.OutputFolder, "");
    EXPECT_EQ(SettingsStore().ReadString("OutputFolder"), "");
}

// What a folder holds, by name, without the key file's folder (the registry on Windows).
std::set<std::string> Entries(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    names.erase("config");
    return names;
}

TEST_F(SplitCommandTest, OutputFolderTakesEveryOutputAndTheManifest)
{
    const std::string out = m_dir / "out";
    std::filesystem::create_directory(out);
    EXPECT_EQ(
        Run({"--defaults", "--links", "--images", "--navigation", "--manifest", "-o", out, Doc()}),
        0)
        << m_out.str();
    EXPECT_EQ(Entries(out),
              (std::set<std::string>{"doc000.html", "doc001.html", "doc002.html", "docfs.html",
                                     "docpages.json", "prev1.gif", "home1.gif", "next1.gif"}));
    EXPECT_EQ(Entries(m_dir.Path()), (std::set<std::string>{"doc.html", "out"}));
    EXPECT_NE(ReadAll(out + "/docpages.json").find("\"doc002.html\""), std::string::npos);
}

TEST_F(SplitCommandTest, LinkTitleAndHeadFlagsReachThePages)
{
    WriteAll(Doc(), "<HTML><HEAD><TITLE>Doc</TITLE></HEAD><BODY><A href=\"#two\">to two</A>"
                    "<H1>One</H1>a<H2><A name=\"two\">Two</A></H2>b</BODY>");
    EXPECT_EQ(Run({"--defaults", "--fix-links", "--page-titles", "--head-links", Doc()}), 0);
    EXPECT_NE(Page(1).find("<A href=\"doc002.html#two\">"), std::string::npos);
    EXPECT_NE(Page(2).find("<TITLE>Two - Doc</TITLE>"), std::string::npos);
    EXPECT_NE(Page(2).find("<link rel=\"prev\" href=\"doc001.html\">"), std::string::npos);

    EXPECT_EQ(Run({"--defaults", Doc()}), 0);
    EXPECT_NE(Page(1).find("<A href=\"#two\">"), std::string::npos);
    EXPECT_EQ(Page(2).find("<link"), std::string::npos);
}

TEST_F(SplitCommandTest, StoreFromBeforeTheLaterOptionsSplitsBesideTheSourceWithoutManifest)
{
    SettingsStore store;
    store.WriteInteger("NoLinks", 1);
    store.WriteInteger("BreakOn", 1);
    store.WriteString("HomeLinkText", "Top");
    EXPECT_EQ(Run({Doc()}), 0);
    EXPECT_NE(Page(1).find(">Top</A>"), std::string::npos);
    EXPECT_EQ(Entries(m_dir.Path()),
              (std::set<std::string>{"doc.html", "doc000.html", "doc001.html"}));
}

TEST_F(SplitCommandTest, FailuresQuietModeAndOpening)
{
    EXPECT_EQ(Run({"--defaults", "-q", "--open", m_dir / "missing.html", Doc()}), 1);
    // Only the failure line is printed; the second document is still split and opened.
    EXPECT_EQ(m_out.str(), "   Exception encountered: File could not be opened\n");
    EXPECT_TRUE(Exists(m_dir / "doc002.html"));
    EXPECT_EQ(m_opened, std::vector<std::string>{m_dir / "doc000.html"});

    m_opened.clear();
    EXPECT_EQ(Run({"--defaults", Doc()}), 0);
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(SplitCommandTest, StopEndsTheBatch)
{
    WriteAll(m_dir / "second.html", kDoc);
    RequestStop(); // as if Ctrl+C came before the first tag
    EXPECT_EQ(Run({"--defaults", Doc(), m_dir / "second.html"}), 1);
    EXPECT_NE(m_out.str().find("Operation cancelled.\n"), std::string::npos);
    EXPECT_FALSE(Exists(m_dir / "second000.html"));
    ClearStopRequest();
}

TEST_F(SplitCommandTest, ExitStatusFollowsTheOutcomes)
{
    WriteAll(m_dir / "second.html", kDoc);
    EXPECT_EQ(Run({"--defaults", Doc(), m_dir / "second.html"}), 0);

    // What cannot be split fails with its own line, and the later files are still split.
    std::filesystem::create_directory(m_dir.Path() / "folder.html");
    std::filesystem::remove(m_dir / "second000.html");
    EXPECT_EQ(Run({"--defaults", "-q", m_dir / "folder.html", "/dev/null", m_dir / "second.html"}),
              1);
    EXPECT_EQ(m_out.str(), "   Exception encountered: Not a regular file\n"
                           "   Exception encountered: Not a regular file\n");
    EXPECT_TRUE(Exists(m_dir / "second000.html"));

    // The last line of a failed run tells; a source under an output name is refused.
    std::filesystem::create_hard_link(Doc(), m_dir / "doc003.html");
    EXPECT_EQ(Run({"--defaults", "-q", Doc()}), 1);
    EXPECT_EQ(m_out.str(), "   Exception encountered: Output file would overwrite the source\n");
    EXPECT_EQ(ReadAll(Doc()), kDoc);
}

// Ctrl+C through the real handler, delivered at a chosen moment: while a result is opened.
class LateInterruptTest : public SplitCommandTest
{
protected:
    void SetUp() override
    {
        SplitCommandTest::SetUp();
        InstallStopSignalHandler();
        WriteAll(m_dir / "second.html", kDoc);
    }
    void TearDown() override
    {
        std::signal(SIGINT, SIG_DFL);
        ClearStopRequest();
    }
    int RunInterruptingAtFirstResult(std::vector<std::string> args)
    {
        m_out.str("");
        return RunSplitCommand(args, m_out, m_err, [this](const std::string& p) {
            m_opened.push_back(p);
            if (m_opened.size() == 1)
                std::raise(SIGINT);
        });
    }
};

TEST_F(LateInterruptTest, CtrlCAfterTheLastTagEndsTheRun)
{
    EXPECT_EQ(RunInterruptingAtFirstResult({"--defaults", "--open", Doc(), m_dir / "second.html"}),
              1);
    EXPECT_EQ(m_opened, std::vector<std::string>{m_dir / "doc000.html"});
    EXPECT_FALSE(Exists(m_dir / "second000.html"));
    EXPECT_EQ(m_out.str().find("Splitting " + (m_dir / "second.html")), std::string::npos);
    EXPECT_TRUE(m_out.str().ends_with("Splitting is complete. 2 files and 1 index file created.\n"
                                      "User pressed Stop button. Cancelling operation...\n"))
        << m_out.str();
}

TEST_F(LateInterruptTest, CtrlCAfterTheLastDocumentWasCompleteChangesNothing)
{
    // Nothing was cut short and nothing left out: every document was split.
    EXPECT_EQ(RunInterruptingAtFirstResult({"--defaults", "--open", Doc()}), 0);
    EXPECT_EQ(Page(2), std::string("<HTML><HEAD></HEAD><BODY><H2>Two</H2>b<BR>\r\n") +
                           "</BODY>\r\n</HTML>\r\n");
    EXPECT_TRUE(
        m_out.str().ends_with("Splitting is complete. 2 files and 1 index file created.\n"));
}

} // namespace
