#include "fuzz/checks/ByteReader.h"

#include <gtest/gtest.h>

namespace {

// Every check relies on this: any input, however short, is a complete run.
TEST(ByteReaderTest, ReadsPastTheEndGiveZeroAndEmptyTexts)
{
    fuzzcheck::ByteReader in(std::string_view("\x05"
                                              "ab\x01\x02",
                                              5));
    EXPECT_EQ(in.Text(), "ab\x01\x02"); // the length byte promises more than there is
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.Byte(), 0);
    EXPECT_EQ(in.Word(), 0);
    EXPECT_EQ(in.Text(), "");
    EXPECT_EQ(in.Rest(), "");
}

TEST(ByteReaderTest, TextsAreCutToTheirLimitAndWordsAreLittleEndian)
{
    fuzzcheck::ByteReader in(std::string_view("\x04wxyz\x34\x12rest"));
    EXPECT_EQ(in.Text(2), "wx");
    EXPECT_EQ(in.Take(2), "yz");
    EXPECT_EQ(in.Word(), 0x1234);
    EXPECT_EQ(in.Rest(), "rest");
}

} // namespace
