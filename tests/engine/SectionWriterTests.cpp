// A page's section read into the source's ring and kept there until the page is written: the
// bytes come out as they went in, whether the ring is small or large, tags lie across its end
// or the reading buffer's, or some of them are replaced.
#include "engine/HTMLFile.h"
#include "engine/SectionWriter.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

// Passes every tag on but <H1>, which ends a section.
struct PassAll
{
    void BeforeTag() {}
    bool EndsSection(TTagKind kind) { return kind == tkH1; }
    bool StopRequested() { return false; }
    std::size_t QuietTags() const { return std::size_t{1} << 30; }
    void PassedQuietly(std::size_t) {}
};

// Writes every <i> as <em>; <H1> ends a section.
struct Rewriter
{
    std::string Em = "<em>";
    void BeforeTag() {}
    bool EndsSection(TTagKind kind) { return kind == tkH1; }
    bool StopRequested() { return false; }
    const std::string* PassTag(std::string_view tag) { return tag == "<i>" ? &Em : nullptr; }
};

// A body of text, short tags and tags up to longer than a reading buffer, in which "<i>" is
// only ever a whole tag, with an <H1> now and then.
std::string RandomBody(std::mt19937& random, std::size_t size, unsigned sections)
{
    static const char* pieces[] = {"text ", "<b>", "</b>", "<i>", "</i>", "\n", "<p class=x>", ">"};
    std::string body;
    while (body.size() < size) {
        const unsigned r = random() % 100000;
        if (r < sections)
            body += "<H1>";
        else if (r < 1000)
            body += "<p title=\"" + std::string(random() % 300000, 'l') + "\">";
        else if (r < 5000)
            body += std::string(random() % 5000, 'w');
        else
            body += pieces[random() % std::size(pieces)];
    }
    return body;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class SectionWriterTest : public testing::Test
{
protected:
    // Scans the body of doc, read through a ring of ringSize bytes, into sections (a new one
    // after each <H1>); returns what they held, from memory and from their temporary files,
    // with the <H1> between them.
    template <typename Sink> std::string Section(const std::string& doc, std::size_t ringSize)
    {
        WriteAll(m_dir / "doc.htm", doc);
        const std::string temp = m_dir / "doc001temp.htm";
        HTMLFile source(m_dir / "doc.htm", true, nullptr, ringSize);
        source.ReadHeader();
        Sink sink;
        static char tag[kTagRoom + 1];
        std::size_t length = 0;
        TTagKind kind = tkOther;
        std::string bytes;
        m_spilled = false;
        for (;;) {
            SectionWriter section(temp, source.Ring(), nullptr);
            source.SetKeeper(&section);
            const ScanEnd end = source.ScanBody(section, tag, kTagRoom, length, kind, sink);
            m_spilled |= section.Spilled();
            if (section.Spilled()) {
                section.CloseTemporary();
                bytes += ReadAll(temp);
            } else {
                std::vector<std::string_view> parts;
                section.Parts(parts);
                for (const std::string_view part : parts)
                    bytes += part;
            }
            source.SetKeeper(nullptr);
            section.RemoveTemporary();
            EXPECT_FALSE(testsupport::Exists(temp));
            if (end != ScanEnd::SectionTag)
                return bytes;
            bytes += std::string(tag, length);
        }
    }

    TempDir m_dir;
    bool m_spilled = false;
};

TEST_F(SectionWriterTest, TheSectionComesOutAsItWentInWhateverTheRing)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::size_t smallest = 64 * 1024 + 80 + 1;
    for (const std::size_t ring : {smallest, smallest + 4321, std::size_t{300000},
                                   std::size_t{1} << 20, std::size_t{4} << 20}) {
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(std::to_string(ring) + "-byte ring, round " + std::to_string(round));
            const std::string body =
                RandomBody(random, 100000 + random() % 1500000, round % 2 == 0 ? 0 : 5);
            const std::string doc = "<html><head></head><body>" + body;
            EXPECT_TRUE(Section<PassAll>(doc, ring) == body);
            EXPECT_TRUE(Section<Rewriter>(doc, ring) == Replaced(body, "<i>", "<em>"));
        }
    }
}

TEST_F(SectionWriterTest, OnlyASectionThatOutgrowsTheRingGoesToTheTemporaryFile)
{
    std::string body;
    while (body.size() < 1000000)
        body += "<p class=x>" + std::to_string(body.size()) + " words <i>more</i></p>\n";
    const std::string doc = "<html><head></head><body>" + body;
    EXPECT_TRUE(Section<PassAll>(doc, std::size_t{2} << 20) == body);
    EXPECT_FALSE(m_spilled);
    EXPECT_TRUE(Section<Rewriter>(doc, std::size_t{2} << 20) == Replaced(body, "<i>", "<em>"));
    EXPECT_FALSE(m_spilled);
    EXPECT_TRUE(Section<PassAll>(doc, 500000) == body);
    EXPECT_TRUE(m_spilled);
}

TEST_F(SectionWriterTest, ManyCopiedBytesGoToTheTemporaryFile)
{
    const std::string temp = m_dir / "doc001temp.htm";
    std::string ring(200000, 'r');
    SectionWriter section(temp, ring, nullptr);
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        const std::string piece(5000, static_cast<char>('a' + i % 26));
        section.WriteText(piece);
        section.Write(ring.data() + i * 100, 100);
        expected += piece + ring.substr(i * 100, 100);
    }
    EXPECT_TRUE(section.Spilled());
    EXPECT_NE(section.KeptFrom(), nullptr); // the ring bytes written since
    section.CloseTemporary();
    EXPECT_TRUE(ReadAll(temp) == expected);
    section.RemoveTemporary();
    EXPECT_FALSE(testsupport::Exists(temp));
}

} // namespace
