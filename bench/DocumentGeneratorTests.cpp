#include "bench/DocumentGenerator.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string Generate(DocumentSpec spec, DocumentStats* stats = nullptr)
{
    std::string text;
    DocumentGenerator generator(spec);
    const DocumentStats s = generator.Write([&](std::string_view bytes) { text += bytes; });
    if (stats)
        *stats = s;
    return text;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(DocumentGenerator, WritesExactSizeAndTheAskedNumberOfSplitHeadings)
{
    const struct
    {
        std::uint64_t size;
        int sections;
    } cases[] = {{64 * 1024, 1}, {64 * 1024 + 7, 3}, {1 << 20, 100}, {(3 << 20) + 12345, 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, " + std::to_string(c.sections) +
                     " sections");
        DocumentStats stats;
        const std::string text = Generate({c.size, c.sections, 7}, &stats);
        EXPECT_EQ(text.size(), c.size);
        EXPECT_EQ(stats.Bytes, c.size);
        EXPECT_EQ(stats.H1 + stats.H2, c.sections);
        EXPECT_GE(stats.H1, 1);
        // Every heading opens a line, so a line-based splitter finds the same cuts.
        EXPECT_EQ(Count(text, "<h1"), static_cast<std::size_t>(stats.H1));
        EXPECT_EQ(Count(text, "\n<h1"), static_cast<std::size_t>(stats.H1));
        EXPECT_EQ(Count(text, "\n<h2"), static_cast<std::size_t>(stats.H2));
        EXPECT_EQ(Count(text, "<h2"), static_cast<std::size_t>(stats.H2));
        EXPECT_EQ(Count(text, "\n<h3"), static_cast<std::size_t>(stats.H3));
        EXPECT_EQ(Count(text, "</h1>"), static_cast<std::size_t>(stats.H1));
        EXPECT_EQ(Count(text, "</h3>"), static_cast<std::size_t>(stats.H3));
        std::regex splitHeading("\n<h[12][ >]");
        EXPECT_EQ(static_cast<int>(
                      std::distance(std::sregex_iterator(text.begin(), text.end(), splitHeading),
                                    std::sregex_iterator())),
                  c.sections);
    }
}

TEST(DocumentGenerator, DocumentIsWellFormedEnoughToSplit)
{
    DocumentStats stats;
    const std::string text = Generate({2 << 20, 50, 3}, &stats);
    EXPECT_EQ(text.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_EQ(Count(text, "<body"), 1u);
    EXPECT_EQ(Count(text, "</body>"), 1u);
    EXPECT_EQ(text.substr(text.size() - 16), "</body>\n</html>\n");
    const std::size_t body = text.find("<body");
    const std::size_t head = text.find("</head>");
    ASSERT_LT(head, body);
    // A realistic head: a few KiB of style sheet that styles the generated classes.
    EXPECT_GT(head, 4096u);
    EXPECT_NE(text.find("quirefold_link_p"), std::string::npos);
    EXPECT_LT(text.find("<h1"), text.find("<h2"));
    EXPECT_GT(body, 0u);
    EXPECT_GT(stats.H3, 0);
    EXPECT_EQ(Count(text, "<!--"), Count(text, "-->"));
    EXPECT_GT(Count(text, "<!--"), 0u);
    EXPECT_EQ(Count(text, "<table"), Count(text, "</table>"));
    EXPECT_GT(Count(text, "<table"), 0u);
    EXPECT_EQ(Count(text, "<pre>"), Count(text, "</pre>"));
    EXPECT_EQ(Count(text, "<p>") + Count(text, "<p class="), Count(text, "</p>"));
    EXPECT_GT(Count(text, "<b>"), 0u);
    EXPECT_GT(Count(text, "<a href=\"#s"), 0u);
}

TEST(DocumentGenerator, SameSeedSameBytesOtherSeedOtherBytes)
{
    const std::string a = Generate({256 * 1024, 20, 1});
    EXPECT_EQ(a, Generate({256 * 1024, 20, 1}));
    const std::string b = Generate({256 * 1024, 20, 2});
    EXPECT_EQ(a.size(), b.size());
    EXPECT_NE(a, b);
}

TEST(DocumentGenerator, RejectsTooLittleRoomOrNoSections)
{
    EXPECT_THROW(DocumentGenerator({1024, 10, 1}), std::invalid_argument);
    EXPECT_THROW(DocumentGenerator({1 << 20, 0, 1}), std::invalid_argument);
    const int sections = 100;
    EXPECT_NO_THROW(Generate({DocumentGenerator::MinimumSize(sections), sections, 1}));
    EXPECT_EQ(Generate({DocumentGenerator::MinimumSize(sections), sections, 1}).size(),
              DocumentGenerator::MinimumSize(sections));
}

TEST(DocumentGenerator, ParsesByteSizes)
{
    std::uint64_t n = 0;
    EXPECT_TRUE(ParseByteSize("4096", n));
    EXPECT_EQ(n, 4096u);
    EXPECT_TRUE(ParseByteSize("64K", n));
    EXPECT_EQ(n, 65536u);
    EXPECT_TRUE(ParseByteSize("256M", n));
    EXPECT_EQ(n, 256u << 20);
    EXPECT_TRUE(ParseByteSize("16MiB", n));
    EXPECT_EQ(n, 16u << 20);
    EXPECT_TRUE(ParseByteSize("2G", n));
    EXPECT_EQ(n, 2ull << 30);
    for (const char* bad : {"", "M", "12X", "-5", "1.5M", "99999999999999999999", "99999999999G"})
        EXPECT_FALSE(ParseByteSize(bad, n)) << bad;
}

TEST(DocumentGenerator, CrossLinksGiveEachSectionOneAnchorAndOneLinkToAnother)
{
    for (const DocumentSpec spec : {DocumentSpec{1 << 20, 40, 5, true},
                                    DocumentSpec{DocumentGenerator::MinimumSize(300), 300, 9, true},
                                    DocumentSpec{64 * 1024, 1, 2, true}}) {
        SCOPED_TRACE(std::to_string(spec.Sections) + " sections");
        const std::string text = Generate(spec);
        EXPECT_EQ(text.size(), spec.Size);
        const std::size_t body = text.find("<body");
        // Nothing else defines an anchor or links, so every link is one of the sections'.
        EXPECT_EQ(Count(text.substr(body), " id="),
                  static_cast<std::size_t>(spec.Sections) - Count(text, "<a name="));
        EXPECT_EQ(Count(text, "href="), static_cast<std::size_t>(spec.Sections));

        std::regex splitHeading("\n<h[12][ >]");
        std::vector<std::size_t> starts;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), splitHeading);
             it != std::sregex_iterator(); ++it)
            starts.push_back(static_cast<std::size_t>(it->position()));
        ASSERT_EQ(starts.size(), static_cast<std::size_t>(spec.Sections));
        starts.push_back(text.size());
        std::regex anchorRe(R"((?: id|<a name)="s(\d+)\")"), linkRe(R"re(href="#s(\d+)")re");
        std::set<int> anchors;
        std::vector<int> targets;
        for (int s = 0; s < spec.Sections; ++s) {
            const std::string section = text.substr(starts[s], starts[s + 1] - starts[s]);
            std::smatch m;
            ASSERT_TRUE(std::regex_search(section, m, anchorRe)) << "section " << s + 1;
            EXPECT_EQ(std::stoi(m[1]), s + 1);
            anchors.insert(std::stoi(m[1]));
            ASSERT_TRUE(std::regex_search(section, m, linkRe)) << "section " << s + 1;
            targets.push_back(std::stoi(m[1]));
            if (spec.Sections > 1) {
                EXPECT_NE(targets.back(), s + 1);
            }
        }
        for (const int target : targets)
            EXPECT_EQ(anchors.count(target), 1u) << "#s" << target;
    }
    // Both ways of naming an anchor occur.
    const std::string text = Generate({1 << 20, 100, 3, true});
    EXPECT_GT(Count(text, "<a name=\"s"), 0u);
    EXPECT_GT(Count(text, " id=\"s"), 0u);
}
