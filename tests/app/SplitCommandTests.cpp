#include "app/SplitCommand.h"
#include "app/StopSignal.h"
#include "settings/SettingsStore.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
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
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
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

TEST_F(SplitCommandTest, UsageErrorsNameTheProblemAndSplitNothing)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate", Doc()}, "unknown option '--frobnicate'"},
        {{"-x", Doc()}, "unknown option '-x'"},
        {{"--break-on=4", Doc()}, "invalid value '4' for --break-on"},
        {{"-b", "0", Doc()}, "invalid value '0' for --break-on"},
        {{Doc(), "--prev-text"}, "option '--prev-text' needs a value"},
        {{"--links=yes", Doc()}, "option '--links' takes no value"},
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

} // namespace
