#include "app/SplitOptions.h"
#include "engine/SplitSettings.h"
#include "fuzz/checks/SplitOptionsCheck.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

namespace {

std::string CommandLine(std::initializer_list<std::string> args)
{
    std::string joined;
    for (const std::string& arg : args) {
        if (!joined.empty() || &arg != args.begin())
            joined += '\0';
        joined += arg;
    }
    return joined;
}

TEST(SplitOptionsFuzzTest, EverySavedInputKeepsTheRules)
{
    const auto inputs = fuzzinputs::Inputs("splitoptions");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(fuzzcheck::CheckSplitOptions(fuzzinputs::Read(file)), "") << file;
}

TEST(SplitOptionsFuzzTest, OddValuesAndFileNamesSurviveBothSpellings)
{
    // Values that look like options, hold '=' or are empty; files that start with '-'.
    const std::string lines[] = {
        CommandLine({"--prev-text", "--next-text=x", "a.html"}),
        CommandLine({"--home-text==", "--", "--links", "-"}),
        CommandLine({"-b", "3", "-bq", "f"}),
        CommandLine({"-b", "", "f"}),
        CommandLine({"--break-on=4", "f"}),
        CommandLine({"--prev-image=", "--next-image", "\xff\x01", "-", "--"}),
        CommandLine({"---", "f"}),
        CommandLine({"--=", "f"}),
        CommandLine({"-", "--save", "--breadcrumbs-text"}),
        CommandLine({"--version"}),
        CommandLine({""}),
    };
    for (const std::string& line : lines) {
        EXPECT_EQ(fuzzcheck::CheckSplitOptions(line), "") << line;
        // The first byte picks how the plain form spells its values.
        EXPECT_EQ(fuzzcheck::CheckSplitOptions("\x01" + line), "") << line;
    }
}

TEST(SplitOptionsFuzzTest, AValueThatLooksLikeAnOptionIsTakenAsTheValue)
{
    const SplitOptions options =
        ParseSplitOptions({"--prev-text", "--next-text=x", "--home-text==", "-", "--", "-q"});
    SplitSettings settings;
    for (const auto& change : options.Overrides)
        change(settings);
    EXPECT_EQ(settings.PreviousLinkText, "--next-text=x");
    EXPECT_EQ(settings.HomeLinkText, "=");
    EXPECT_EQ(settings.NextLinkText, "Next");
    EXPECT_FALSE(options.Quiet);
    EXPECT_EQ(options.Files, (std::vector<std::string>{"-", "-q"}));
}

TEST(SplitOptionsFuzzTest, BadLevelsAndMissingValuesAreUsageErrors)
{
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-b", "", "f"},
                                               {"--break-on=0", "f"},
                                               {"-b4", "f"},
                                               {"--prev-text"},
                                               {"---", "f"},
                                               {"--links=1", "f"},
                                               {"-x", "f"},
                                               {"--quiet"}})
        EXPECT_THROW(ParseSplitOptions(args), UsageError) << ::testing::PrintToString(args);
}

} // namespace
