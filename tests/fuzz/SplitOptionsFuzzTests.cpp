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

} // namespace
