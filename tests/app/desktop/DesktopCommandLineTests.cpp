#include "app/desktop/DesktopCommandLine.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(DesktopCommandLine, OneFileHelpVersionAndWhatIsRefused)
{
    EXPECT_EQ(ParseDesktopCommandLine({}).File, "");
    EXPECT_EQ(ParseDesktopCommandLine({"docs/a.html"}).File, "docs/a.html");
    EXPECT_TRUE(ParseDesktopCommandLine({"--help"}).Help);
    EXPECT_TRUE(ParseDesktopCommandLine({"-V"}).Version);
    // After "--" a document may start with a dash.
    const DesktopCommandLine dashed = ParseDesktopCommandLine({"--", "-odd.html"});
    EXPECT_EQ(dashed.File, "-odd.html");
    EXPECT_TRUE(dashed.Error.empty());
    EXPECT_EQ(ParseDesktopCommandLine({"--frobnicate"}).Error, "unknown option '--frobnicate'");
    EXPECT_EQ(ParseDesktopCommandLine({"a.html", "b.html"}).Error, "only one FILE can be given");
    // Help wins over a mistake elsewhere on the line.
    EXPECT_TRUE(ParseDesktopCommandLine({"--frobnicate", "--help"}).Help);
}

TEST(DesktopProgram, HelpAndVersionNeedNoWindowSystem)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(environment);

    program.start(QUIREFOLD_PATH, {"--version"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("quirefold (Quirefold) "));

    program.start(QUIREFOLD_PATH, {"--help"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("Usage: quirefold [FILE]"));
}

TEST(DesktopProgram, UnknownOptionsAreRefusedWithoutAWindow)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QUIREFOLD_PATH, {"--frobnicate"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAllStandardError().contains("unknown option '--frobnicate'"));
}

} // namespace
