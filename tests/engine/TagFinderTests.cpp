// The bit masks of a block, in every form of the scan this processor runs, against their
// definitions byte by byte.
#include "engine/HTMLFile.h"
#include "engine/TagFinder.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

// Bytes of a block: mostly the ones the masks look for, in both cases, with a few others.
std::string RandomBytes(std::mt19937& random, std::size_t size)
{
    static const std::string alphabet = "<>=/bBoOhH123409 x\x11\x13\x0f\x42\xe2\xc8";
    std::string bytes(size, ' ');
    for (char& c : bytes)
        c = random() % 8 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    return bytes;
}

// The tag starts and ends of a block and the state after it, one byte at a time.
tagfinder::Tags TagsByBytes(const char* p, std::size_t from, bool inside)
{
    tagfinder::Tags tags;
    for (std::size_t i = from; i < 64; ++i) {
        if (p[i] == '<' && !inside) {
            tags.Starts |= std::uint64_t{1} << i;
            inside = true;
        } else if (p[i] == '>' && inside) {
            tags.Ends |= std::uint64_t{1} << i;
            inside = false;
        }
    }
    tags.InsideAfter = inside;
    return tags;
}

template <typename Blocks> void CheckBlocks(const char* p)
{
    std::uint64_t open = 0, close = 0, equals = 0, known = 0;
    for (int i = 0; i < 64; ++i) {
        open |= std::uint64_t{p[i] == '<'} << i;
        close |= std::uint64_t{p[i] == '>'} << i;
        equals |= std::uint64_t{p[i] == '='} << i;
        known |= std::uint64_t{tagfinder::MayBeKnown(p + i)} << i;
    }
    const tagfinder::Masks masks = Blocks::Find(p);
    ASSERT_EQ(masks.Open, open);
    ASSERT_EQ(masks.Close, close);
    ASSERT_EQ(Blocks::Equals(p), equals);
    ASSERT_EQ(Blocks::Known(p), known);
    ASSERT_EQ(Blocks::Count(open), static_cast<unsigned>(std::popcount(open)));
}

TEST(TagFinderTest, EveryFormFindsWhatTheBytesSay)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 20000; ++round) {
        const std::string bytes = RandomBytes(random, 64 + tagfinder::kPadding);
        const char* p = bytes.data();
        CheckBlocks<tagfinder::Sse2Blocks>(p);
#ifdef QUIREFOLD_TAGFINDER_WIDE
        if (tagfinder::WidestForm() >= tagfinder::Form::Avx2)
            CheckBlocks<tagfinder::Avx2Blocks>(p);
        if (tagfinder::WidestForm() >= tagfinder::Form::Avx512)
            CheckBlocks<tagfinder::Avx512Blocks>(p);
#endif
        // Where tags begin and end, from any byte on, inside a tag there or not.
        const std::size_t from = random() % 64;
        const bool inside = random() % 2 == 0;
        const tagfinder::Tags expected = TagsByBytes(p, from, inside);
        const tagfinder::Tags tags =
            tagfinder::TagsIn(tagfinder::Sse2Blocks::Find(p), from, inside);
        ASSERT_EQ(tags.Starts, expected.Starts) << round;
        ASSERT_EQ(tags.Ends, expected.Ends) << round;
        ASSERT_EQ(tags.InsideAfter, expected.InsideAfter) << round;
    }
}

TEST(TagFinderTest, OnlyTheKindsTheSplitterActsOnMayBeKnown)
{
    for (const char* tag : {"<body", "<BODY>", "</Body", "<h1", "<H2>", "</h3", "</H1 >", "<bO"})
        EXPECT_TRUE(tagfinder::MayBeKnown(tag)) << tag;
    for (const char* tag : {"<b>x", "</b>x", "<br>", "<hr>", "<h4>", "</h0>", "<head", "</html",
                            "<p>x", "</p>x", "<!--", "<a h", "</ho"})
        EXPECT_FALSE(tagfinder::MayBeKnown(tag)) << tag;
}

TEST(TagFinderTest, EveryTagOfAKindTheSplitterActsOnMayBeKnown)
{
    // Every tag of up to four bytes after its '<' from these, and a '>'.
    const std::string alphabet = "<>/bBoOdDyYhH1230 \x02\x0f\x11\x42\x62\xe2\xcf";
    std::size_t checked = 0;
    const auto check = [&](const std::string& t) {
        const std::string padded = t + std::string(4, '\0');
        if (ClassifyTag(t) != tkOther) {
            EXPECT_TRUE(tagfinder::MayBeKnown(padded.data())) << t;
        }
        ++checked;
    };
    for (const char a : alphabet)
        for (const char b : alphabet)
            for (const char c : alphabet)
                for (const char d : alphabet) {
                    check(std::string("<") + a + b + c + d + ">");
                    check(std::string("<") + a + b + c + ">");
                }
    EXPECT_GT(checked, 100000u);
}

} // namespace
