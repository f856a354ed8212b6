// Splits random documents and compares every page, the index and the outcome with a plain
// byte-at-a-time reading of the splitting rules, written here independently of the engine.
#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"

#include <cctype>
#include <gtest/gtest.h>
#include <random>

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

struct Failure
{
    std::string message;
};

struct Expected
{
    std::vector<std::string> pages;
    std::string index;
    std::string lastLine;
};

// The rules, one byte at a time, on a string.
class Reference
{
public:
    Reference(const std::string& doc, int breakOn) : m_doc(doc), m_breakOn(breakOn) {}

    Expected Run()
    {
        Expected out;
        const std::string trailer = "</BODY>\r\n</HTML>\r\n";
        std::string header;
        bool pageOpen = false; // a failure leaves the current page with its header only
        try {
            int kind = 0;
            while (kind != 1) {
                char c;
                if (!Next(c))
                    throw Failure{"<BODY> tag not found"};
                if (c == '<') {
                    std::string tag;
                    kind = Tag(tag, 500000);
                    header += tag;
                } else {
                    header += c;
                }
            }
            out.index = header;
            int seen = 0;
            int last = 0;
            int page = 1;
            std::string tag;
            while (last != 2) {
                pageOpen = true;
                std::string section;
                if (page > 1)
                    section += StartSection(tag, last, page, out.index);
                last = 0;
                while ((seen < 2 || !Split(last)) && last != 2) {
                    char c;
                    if (!Next(c))
                        throw Failure{"End of body tag not found"};
                    if (c != '<') {
                        section += c;
                        continue;
                    }
                    last = Tag(tag, 500000);
                    if (!Split(last) && last != 2)
                        section += tag;
                    if (Split(last)) {
                        if (seen == 0)
                            section += StartSection(tag, last, page, out.index);
                        ++seen;
                    }
                }
                out.pages.push_back(header + section + "<BR>\r\n" + trailer);
                pageOpen = false;
                ++page;
            }
            out.index += trailer;
            out.lastLine = "Splitting is complete. " + std::to_string(out.pages.size()) +
                           " files and 1 index file created.";
        } catch (const Failure& f) {
            if (pageOpen)
                out.pages.push_back(header);
            out.lastLine = "   Exception encountered: " + f.message;
        }
        return out;
    }

private:
    bool Next(char& c)
    {
        if (m_pos >= m_doc.size())
            return false;
        c = m_doc[m_pos++];
        return true;
    }

    static int Kind(const std::string& tag)
    {
        const char* names[] = {"<BODY", "</BODY", "<H1", "</H1", "<H2", "</H2", "<H3", "</H3"};
        for (int k = 0; k < 8; ++k) {
            std::string name = names[k];
            if (tag.size() < name.size())
                continue;
            bool same = true;
            for (std::size_t i = 0; i < name.size(); ++i)
                same = same && std::toupper(static_cast<unsigned char>(tag[i])) == name[i];
            if (same)
                return k + 1;
        }
        return 0;
    }

    // Reads the tag whose '<' was just read.
    int Tag(std::string& tag, std::size_t limit)
    {
        tag = "<";
        char c;
        while (tag.size() < limit && tag.back() != '>' && Next(c))
            tag += c;
        if (tag.size() >= limit)
            throw Failure{"Tag too long"};
        if (tag.back() != '>')
            throw Failure{"End of tag not found"};
        return Kind(tag);
    }

    bool Split(int kind) const
    {
        if (m_breakOn == 1)
            return kind == 3;
        if (m_breakOn == 2)
            return kind == 3 || kind == 5;
        return kind == 3 || kind == 5 || kind == 7;
    }

    std::string StartSection(const std::string& opening, int kind, int page, std::string& index)
    {
        const int wanted = kind == 3 ? 4 : kind == 5 ? 6 : 8;
        std::string heading;
        int last = 0;
        const std::size_t limit = 5000;
        while (heading.size() < limit && last != wanted) {
            char c;
            if (!Next(c))
                break;
            if (c == '<') {
                std::string tag;
                tag = "<";
                while (heading.size() + tag.size() < limit && tag.back() != '>' && Next(c))
                    tag += c;
                if (heading.size() + tag.size() >= limit)
                    throw Failure{"Tag too long"};
                if (tag.back() != '>')
                    throw Failure{"End of tag not found"};
                last = Kind(tag);
                heading += tag;
            } else {
                heading += c;
            }
        }
        if (heading.size() >= limit)
            throw Failure{"Heading too long"};
        if (last != wanted)
            throw Failure{std::string("</H") + char('0' + wanted / 2 - 1) + "> tag not found"};
        const std::string text = heading.substr(0, heading.rfind('<'));
        char number[16];
        std::snprintf(number, sizeof number, "%03d", page);
        const std::string indent = kind == 3   ? ""
                                   : kind == 5 ? "&nbsp&nbsp&nbsp"
                                               : "&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp";
        index += indent + "<a class=\"quirefold_index_a\" HREF=\"doc" + number + ".htm\">" + text +
                 "</a><br>\r\n";
        return opening + heading;
    }

    const std::string& m_doc;
    int m_breakOn;
    std::size_t m_pos = 0;
};

std::string RandomDocument(std::mt19937& random, bool large)
{
    static const char* pieces[] = {
        "text ",
        "<",
        ">",
        "<p>",
        "</p>",
        "<H1>",
        "</H1>",
        "<h2 id=\"a>b\">",
        "</h2>",
        "<H3>",
        "</H3>",
        "<b>",
        "</b>",
        "<!-- <H1> -->",
        "<!-- a > <H2> -->",
        "\r\n",
        "<BODY>",
        "</BODY>",
        "<Hr>",
        "<h10>",
        "</H2 >",
        "<br/>",
        "&amp;",
    };
    std::uniform_int_distribution<int> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(1, large ? 400 : 60);
    std::string doc = "<html><head><title>x</title></head><body>";
    const int n = count(random);
    for (int i = 0; i < n; ++i) {
        if (large && random() % 40 == 0)
            doc += std::string(random() % 140000, 'x'); // cross the scanner's buffer edges
        doc += pieces[pick(random)];
    }
    if (random() % 4 != 0)
        doc += "</BODY></HTML>";
    return doc;
}

TEST(ScanAgreementTest, RandomDocumentsSplitAsTheRulesSay)
{
    TempDir dir;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 20 == 0;
        const std::string doc = RandomDocument(random, large);
        const int breakOn = 1 + static_cast<int>(random() % 3);
        const std::string sub = "r" + std::to_string(round);
        std::filesystem::create_directory(dir.Path() / sub);
        WriteAll(dir.Path() / sub / "doc.htm", doc);

        FakeHost host;
        host.settings.BreakOn = breakOn;
        SplitFile((dir.Path() / sub / "doc.htm").string(), host);
        const Expected expected = Reference(doc, breakOn).Run();

        ASSERT_EQ(host.LastLine(), expected.lastLine)
            << "round " << round << ": " << doc.substr(0, 400);
        for (std::size_t i = 0; i < expected.pages.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "doc%03zu.htm", i + 1);
            ASSERT_EQ(ReadAll(dir.Path() / sub / name), expected.pages[i])
                << "round " << round << ", page " << i + 1;
        }
        char next[32];
        std::snprintf(next, sizeof next, "doc%03zu.htm", expected.pages.size() + 1);
        EXPECT_FALSE(Exists(dir.Path() / sub / next)) << "round " << round;
        if (expected.lastLine.starts_with("Splitting is complete.")) {
            ASSERT_EQ(ReadAll(dir.Path() / sub / "doc000.htm"), expected.index)
                << "round " << round;
        }
        std::filesystem::remove_all(dir.Path() / sub);
    }
}

} // namespace
