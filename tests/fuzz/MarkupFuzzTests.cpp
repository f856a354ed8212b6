#include "fuzz/checks/MarkupCheck.h"
#include "tests/common/TestSupport.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

using fuzzinputs::Text;

namespace {

// An input for MarkupWorkspace::Check; see its header for the layout.
std::string Input(int piece, unsigned char flags, int page, const std::string& longText)
{
    std::string input{static_cast<char>(piece),
                      static_cast<char>(flags),
                      static_cast<char>((page - 1) & 0xff),
                      static_cast<char>((page - 1) >> 8),
                      '\x02',
                      '\0',
                      '\x03',
                      '\0'};
    input += Text("manual") + Text(".htm") + Text(longText) + Text("Home") + Text(longText) +
             Text(longText) + Text("a/b/prev.gif") + Text("") + Text(longText) + Text(longText) +
             Text(longText) + Text("") + '\x01';
    return input + longText + longText;
}

TEST(MarkupFuzzTest, PageNumbersPrintWithAtLeastThreeDigits)
{
    EXPECT_EQ(fuzzcheck::PageDigits(0), 3u);
    EXPECT_EQ(fuzzcheck::PageDigits(7), 3u);
    EXPECT_EQ(fuzzcheck::PageDigits(999), 3u);
    EXPECT_EQ(fuzzcheck::PageDigits(1000), 4u);
    EXPECT_EQ(fuzzcheck::PageDigits(65536), 5u);
}

TEST(MarkupFuzzTest, EverySavedInputKeepsTheRules)
{
    testsupport::TempDir root;
    fuzzcheck::MarkupWorkspace workspace(root.Path());
    const auto inputs = fuzzinputs::Inputs("markup");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(workspace.Check(fuzzinputs::Read(file)), "") << file;
}

TEST(MarkupFuzzTest, LongTextsAndEveryFlagGiveWholePieces)
{
    // Texts far beyond the old fixed areas, with bytes that are no text at all.
    testsupport::TempDir root;
    fuzzcheck::MarkupWorkspace workspace(root.Path());
    const std::string longText = std::string(250, 'w') + "\xff\x01\"<>";
    for (int piece = 0; piece < 3; ++piece) {
        for (int flags = 0; flags < 256; flags += 3) {
            for (int page : {1, 2, 999, 1000, 65536})
                EXPECT_EQ(workspace.Check(Input(piece, static_cast<unsigned char>(flags), page,
                                                longText.substr(0, 254))),
                          "")
                    << "piece " << piece << ", flags " << flags << ", page " << page;
        }
    }
}

} // namespace
