#include "fuzz/checks/PreviewCheck.h"
#include "settings/options/OptionsDlg.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

using fuzzinputs::Text;

namespace {

TEST(PreviewFuzzTest, EverySavedInputKeepsTheRules)
{
    TOptionsDlg dialog;
    const auto inputs = fuzzinputs::Inputs("preview");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(fuzzcheck::CheckPreview(dialog, fuzzinputs::Read(file)), "") << file;
}

TEST(PreviewFuzzTest, EveryChoiceWithOddTextsGivesTheWholePreview)
{
    // Bytes that are no UTF-8, characters outside the basic plane, markup and a NUL.
    TOptionsDlg dialog;
    const std::string texts = Text("\xff\xfe<") + Text("\xf0\x9f\x93\x84 home") +
                              Text(std::string("a\0b", 3)) + Text("\"quoted\".gif") + Text("") +
                              Text(std::string(200, 'n')) + Text("label &gt;");
    for (int flags = 0; flags < 64; ++flags)
        EXPECT_EQ(fuzzcheck::CheckPreview(dialog, static_cast<char>(flags) + texts), "")
            << "choices " << flags;
}

} // namespace
