#include "fuzz/checks/IdListCheck.h"
#include "shell/namespace/PTShellLocator.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

TEST(IdListFuzzTest, EverySavedInputKeepsTheRules)
{
    const auto inputs = fuzzinputs::Inputs("idlist");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(fuzzcheck::CheckIdList(fuzzinputs::Read(file)), "") << file;
}

TEST(IdListFuzzTest, RecordsThatLieAboutTheirSizesAreRefused)
{
    const std::string broken[] = {
        Bytes({0, 10, 0, 0, 0, 4, 0}),                      // shorter than its length
        Bytes({0, 6, 0, 0, 0, 9, 0, 'a', 0, 0}),            // an item larger than the record
        Bytes({0, 6, 0, 0, 0, 4, 0, 'a', 'b'}),             // no terminator
        Bytes({0, 5, 0, 0, 0, 1, 0, 0, 0, 0}),              // an item of size 1
        Bytes({0, 8, 0, 0, 0, 4, 0, 'a', 'b', 0, 0, 9, 9}), // bytes after the terminator
        Bytes({0, 255, 255, 255, 255, 4, 0}),               // a length near 4 GiB
        Bytes({1, 200}),                                    // no such special folder
        Bytes({2, 0, 0, 0, 0}),                             // no such kind
    };
    for (const std::string& record : broken) {
        TPTShellLocator locator;
        EXPECT_FALSE(locator.ReadStoredForm(record)) << ::testing::PrintToString(record);
        EXPECT_EQ(fuzzcheck::CheckIdList(record), "");
    }
}

TEST(IdListFuzzTest, WholeRecordsWithEmptyAndTaggedItemsAreKept)
{
    const std::string good[] = {
        Bytes({0, 6, 0, 0, 0, 2, 0, 2, 0, 0, 0}),         // two items without data
        Bytes({0, 8, 0, 0, 0, 4, 0, 0, 'H', 2, 0, 0, 0}), // a virtual item's tag, then an empty one
        Bytes({0, 2, 0, 0, 0, 0, 0}),                     // the desktop
        Bytes({0, 0, 0, 0, 0}),                           // length 0: the desktop
    };
    for (const std::string& record : good) {
        TPTShellLocator locator;
        EXPECT_TRUE(locator.ReadStoredForm(record)) << ::testing::PrintToString(record);
        EXPECT_EQ(fuzzcheck::CheckIdList(record), "");
    }
}

TEST(IdListFuzzTest, ItemsWithoutDataStillCountAndGoUpByOne)
{
    IdListPtr idList = MakeIdList({"", "a", ""});
    TPTIdListArray array(idList.get());
    ASSERT_EQ(array.GetCount(), 3);
    EXPECT_EQ(IdListLen(idList.get()), 2u + 2 + 3 + 2);
    EXPECT_EQ(IdListLen(array.GoUp(1)), 2u + 2 + 3);
    EXPECT_EQ(IdListItemData(IdListNext(array.GoUp(1))), "a");
    EXPECT_EQ(IdListLen(array.GoUp(3)), 2u);
    EXPECT_EQ(array.GoUp(4), nullptr);
}

} // namespace
