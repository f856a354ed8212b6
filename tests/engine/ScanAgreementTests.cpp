// Splits random documents and compares every page, the index and the outcome with a plain
// byte-at-a-time reading of the splitting rules, written here independently of the engine.
#include "engine/SplitRun.h"
#include "engine/TagFinder.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"

#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
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
                    ++m_bodyTags;
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

    // The tags the body scan met, each one a '<' at which the run may pump.
    int BodyTags() const { return m_bodyTags; }

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
    int m_bodyTags = 0;
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

// Documents made mostly of tags the splitter passes over, in long runs, with look-alikes of the
// kinds it acts on, headings, tags split across 64-byte blocks and across the reading buffer's
// edges.
std::string RandomTagSoup(std::mt19937& random, bool large)
{
    static const char* pieces[] = {
        "text ",
        "<",
        ">",
        "<td class=\"x\">",
        "</td>",
        "<i>",
        "</i>",
        "<b>",
        "</b>",
        "<br>",
        "<Hr>",
        "<head>",
        "<bo>",
        "<BOX>",
        "</bo>",
        "</b >",
        "<h4>",
        "</H9>",
        "<h0>",
        "</H1>",
        "</h3 >",
        "<\x11\x11>",
        "<\x0f\x08o>",
        "<!-- <H2> -->",
        "<p title=\"a < b\">",
        "\r\n",
        "&amp;",
        "<<p>>",
        "<BODY>",
        "</ h2>",
    };
    static const char* headings[] = {
        "<H1>One</H1>",    "<h2 id=\"a>b\">Two <b>2</b></h2>",
        "<H3>Three</h3 >", "<h1x>x</H1>",
        "<H2 >y</h2>",     "<h3>z</H3>",
    };
    std::uniform_int_distribution<int> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> pickHeading(0, std::size(headings) - 1);
    std::string doc = "<html><head><title>x</title></head><body>";
    const std::size_t size = large ? 200000 + random() % 400000 : 100 + random() % 3000;
    while (doc.size() < size) {
        const unsigned r = random() % 1000;
        if (r < 20)
            doc += "<p title=\"" + std::string(random() % 300, 'l') + "\">"; // over many blocks
        else if (r < 30)
            doc += std::string(random() % 200, ' ');
        else if (r < 30 + (large ? 2 : 20))
            doc += headings[pickHeading(random)];
        else
            doc += pieces[pick(random)];
    }
    if (random() % 6 != 0)
        doc += "</BODY></HTML>";
    return doc;
}

// Keeps every scan to the given form, or a narrower one where the processor has no wider,
// while it lives.
class ScanForm
{
public:
    explicit ScanForm(tagfinder::Form form) { tagfinder::g_formLimit = form; }
    ~ScanForm() { tagfinder::g_formLimit = tagfinder::Form::Avx512; }
    ScanForm(const ScanForm&) = delete;
    ScanForm& operator=(const ScanForm&) = delete;
};

// Every form this processor runs.
std::vector<tagfinder::Form> Forms()
{
    std::vector<tagfinder::Form> forms{tagfinder::Form::Baseline};
    if (tagfinder::WidestForm() >= tagfinder::Form::Avx2)
        forms.push_back(tagfinder::Form::Avx2);
    if (tagfinder::WidestForm() >= tagfinder::Form::Avx512)
        forms.push_back(tagfinder::Form::Avx512);
    return forms;
}

std::string FormName(tagfinder::Form form)
{
    return form == tagfinder::Form::Baseline ? "baseline"
           : form == tagfinder::Form::Avx2   ? "AVX2"
                                             : "AVX-512";
}

// The files a run left, by name.
std::map<std::string, std::string> Outputs(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadAll(entry.path());
    return files;
}

// Splits random documents with a host that lets tagsPerPump tags pass between pumps, and
// compares every page, the index, the outcome and the number of pumps with the reference.
void QuietRuns(unsigned tagsPerPump, tagfinder::Form scanForm, int rounds)
{
    ScanForm form(scanForm);
    TempDir dir;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(tagsPerPump) +
                 " tags per pump, " + FormName(scanForm) + " scan");
    std::mt19937 random(seed);
    for (int round = 0; round < rounds; ++round) {
        const bool large = round % 10 == 0;
        const std::string doc =
            round % 3 == 0 ? RandomDocument(random, large) : RandomTagSoup(random, large);
        const int breakOn = 1 + static_cast<int>(random() % 3);
        const std::string sub = "q" + std::to_string(round);
        std::filesystem::create_directory(dir.Path() / sub);
        WriteAll(dir.Path() / sub / "doc.htm", doc);

        FakeHost host;
        host.settings.BreakOn = breakOn;
        host.tagsPerPump = tagsPerPump;
        SplitFile((dir.Path() / sub / "doc.htm").string(), host);
        Reference reference(doc, breakOn);
        const Expected expected = reference.Run();

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
        // A pump at the first tag and at every tagsPerPump-th after it, however many the scan
        // passed at once.
        const int tags = reference.BodyTags();
        EXPECT_EQ(host.pumps, tags == 0 ? 0 : 1 + (tags - 1) / static_cast<int>(tagsPerPump))
            << "round " << round << ", " << tags << " tags";
        std::filesystem::remove_all(dir.Path() / sub);
    }
}

TEST(ScanAgreementTest, TagsPassedByTheDozenSplitAsTheRulesSay)
{
    QuietRuns(4096, tagfinder::WidestForm(), 150);
    QuietRuns(37, tagfinder::WidestForm(), 150);
    QuietRuns(1, tagfinder::WidestForm(), 60);
}

// Each form of the scan this processor runs, the one for any processor included.
TEST(ScanAgreementTest, EveryFormOfTheScanSplitsAsTheRulesSay)
{
    for (const tagfinder::Form form : Forms()) {
        if (form == tagfinder::WidestForm())
            continue; // above
        QuietRuns(4096, form, 150);
        QuietRuns(37, form, 150);
        QuietRuns(1, form, 60);
    }
}

TEST(ScanAgreementTest, AStopEndsAtTheSameTagHoweverManyTagsPassBetweenPumps)
{
    // A host that pumps at every 50th tag and stops at its 7th pump stops after the 301st tag,
    // as one that pumps at every tag and stops at its 301st.
    TempDir dir;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 40; ++round) {
        const std::string doc = RandomTagSoup(random, round % 4 == 0);
        const std::vector<tagfinder::Form> forms = Forms();
        const tagfinder::Form scanForm = forms[round % forms.size()];
        ScanForm form(scanForm);
        const int breakOn = 1 + static_cast<int>(random() % 3);
        const unsigned every = 1 + random() % 80;
        const int stopAt = 1 + static_cast<int>(random() % 12);
        std::map<std::string, std::string> outputs[2];
        std::vector<std::string> lines[2];
        SplitOutcome outcomes[2];
        for (int run = 0; run < 2; ++run) {
            const std::filesystem::path folder = dir.Path() / ("s" + std::to_string(run));
            std::filesystem::remove_all(folder);
            std::filesystem::create_directory(folder);
            WriteAll(folder / "doc.htm", doc);
            FakeHost host;
            host.settings.BreakOn = breakOn;
            host.tagsPerPump = run == 0 ? every : 1;
            const int pump = run == 0 ? stopAt : (stopAt - 1) * static_cast<int>(every) + 1;
            host.onPump = [pump](FakeHost& h) {
                if (h.pumps == pump)
                    h.busy = false;
            };
            outcomes[run] = SplitFile((folder / "doc.htm").string(), host);
            outputs[run] = Outputs(folder);
            for (std::string line : host.lines) {
                const std::size_t at = line.find(folder.string());
                if (at != std::string::npos)
                    line.replace(at, folder.string().size(), "FOLDER");
                lines[run].push_back(line);
            }
        }
        SCOPED_TRACE("round " + std::to_string(round) + ": every " + std::to_string(every) +
                     ", stop at " + std::to_string(stopAt) + ", " + FormName(scanForm));
        EXPECT_EQ(outcomes[0], outcomes[1]);
        EXPECT_EQ(lines[0], lines[1]);
        EXPECT_TRUE(outputs[0] == outputs[1]);
    }
}

TEST(ScanAgreementTest, LinksAndManifestAlikeHoweverManyTagsPassBetweenPumps)
{
    // Links fixed between pages, anchors in a manifest, titles and head links: a host that
    // pumps at every tag shows every tag to the run, one that lets many pass shows it only the
    // tags with an attribute value, in both passes. The pages are the same.
    static const char* anchors[] = {
        "<a name=\"n%d\">",
        "<p id=\"i%d\">",
        "<a href=\"#n%d\">",
        "<a href=\"#i%d\">",
        "<a href='doc.htm#n%d'>",
        "<td class=\"c%d\">",
        "<img src=\"x%d.png\" alt=\"=\">",
        "<a\nhref=#i%d>",
        "<A NAME=n%d HREF=\"#i%d\">",
        "<h2 id=\"h%d\">H<a name=m%d></a></h2>",
        "<p title=\"<a href='#n%d'>\">",
        "<p\ttitle=\""
        "%d"
        "\"\n\n\n   id=\"far\">",
        // Wider than a block on both sides of its only value: the '=' and the '>' are never in
        // the same 64 bytes.
        "<a                                                                 href=\"#i%d\""
        "                                                                   >",
    };
    TempDir dir;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 40; ++round) {
        std::string doc = RandomTagSoup(random, round % 4 == 0);
        // Anchors and links sprinkled over it, outside other tags.
        for (int i = 0, n = 3 + static_cast<int>(random() % (doc.size() / 100)); i < n; ++i) {
            std::size_t at = doc.find('<', 41 + random() % (doc.size() - 41));
            if (at == std::string::npos)
                continue;
            char piece[256];
            std::snprintf(piece, sizeof piece, anchors[random() % std::size(anchors)],
                          static_cast<int>(random() % 20), static_cast<int>(random() % 20));
            doc.insert(at, piece);
        }
        const std::vector<tagfinder::Form> forms = Forms();
        const tagfinder::Form scanForm = forms[round % forms.size()];
        ScanForm form(scanForm);
        const int breakOn = 1 + static_cast<int>(random() % 3);
        std::map<std::string, std::string> outputs[2];
        std::string last[2];
        for (int run = 0; run < 2; ++run) {
            const std::filesystem::path folder = dir.Path() / ("l" + std::to_string(run));
            std::filesystem::remove_all(folder);
            std::filesystem::create_directory(folder);
            WriteAll(folder / "doc.htm", doc);
            FakeHost host;
            host.settings.BreakOn = breakOn;
            host.settings.FixLinks = true;
            host.settings.Manifest = true;
            host.settings.PageTitles = round % 3 == 0;
            host.settings.HeadLinks = round % 3 == 1;
            host.settings.TolerateMissingBodyEnd = round % 5 == 0;
            host.tagsPerPump = run == 0 ? 1 : (round % 3 == 2 ? 37 : 4096);
            SplitFile((folder / "doc.htm").string(), host);
            outputs[run] = Outputs(folder);
            last[run] = host.LastLine();
        }
        SCOPED_TRACE("round " + std::to_string(round) + ", " + FormName(scanForm));
        EXPECT_EQ(last[0], last[1]);
        EXPECT_TRUE(outputs[0] == outputs[1]) << doc.substr(0, 300);
        EXPECT_TRUE(outputs[0].contains("docpages.json") || !last[0].starts_with("Splitting is"));
    }
}

} // namespace
