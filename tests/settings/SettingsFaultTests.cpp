// Every file call of a settings write made to fail in turn: afterwards the key file holds the
// old or the new value, every other value as it was, and nothing else is left behind.

#include "engine/FileFaults.h"
#include "settings/SettingsStore.h"
#include "tests/common/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace fs = std::filesystem;
using filefaults::CallRecord;

namespace {

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
        ++count;
    return count;
}

std::set<std::string> FolderNames(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class SettingsFaultTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_oldConfigHome = old ? old : "";
        ::setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
    }
    void TearDown() override { ::setenv("XDG_CONFIG_HOME", m_oldConfigHome.c_str(), 1); }

    fs::path Folder() const { return m_config.Path() / "Brisendale Software"; }
    fs::path File() const { return Folder() / "Quirefold.reg"; }

    // The values every write must keep, and the one it changes.
    void StoreBefore()
    {
        fs::remove_all(Folder());
        SettingsStore store;
        ASSERT_TRUE(store.WriteString("PreviousLinkText", "Back"));
        ASSERT_TRUE(store.WriteString("Changed", "old"));
        ASSERT_TRUE(store.WriteInteger("BreakOn", 3));
        ASSERT_TRUE(store.WriteString("MRUFolder", "/home/ann/docs"));
    }

    void ExpectOthersKept()
    {
        SettingsStore store;
        EXPECT_EQ(store.ReadString("PreviousLinkText"), "Back");
        EXPECT_EQ(store.ReadInteger("BreakOn"), 3);
        EXPECT_EQ(store.ReadString("MRUFolder"), "/home/ann/docs");
    }

    // Walks a failure over every call of change; check sees each outcome.
    template <typename Change, typename Check> void Walk(Change change, Check check)
    {
        StoreBefore();
        const std::set<std::string> namesBefore = FolderNames(Folder());
        const std::size_t descriptors = OpenDescriptors();
        std::vector<CallRecord> calls;
        {
            filefaults::ScopedFault counting(FileCall::Open, 0, 0);
            ASSERT_TRUE(change());
            calls = filefaults::Calls();
        }
        long long counts[kFileCallKinds] = {};
        for (const CallRecord& call : calls)
            ++counts[static_cast<int>(call.Kind)];
        // A write opens, reads, writes, flushes, closes and renames.
        for (FileCall kind :
             {FileCall::Open, FileCall::Read, FileCall::Write, FileCall::Close, FileCall::Rename})
            EXPECT_GT(counts[static_cast<int>(kind)], 0) << filefaults::KindName(kind);

        const int errors[] = {ENOSPC, EIO, EACCES};
        for (int kindIndex = 0; kindIndex < kFileCallKinds; ++kindIndex) {
            const auto kind = static_cast<FileCall>(kindIndex);
            for (long long n = 1; n <= counts[kindIndex]; ++n) {
                SCOPED_TRACE(std::string(filefaults::KindName(kind)) + " #" + std::to_string(n));
                StoreBefore();
                bool reported;
                {
                    filefaults::ScopedFault fault(kind, n, errors[n % 3]);
                    reported = change();
                    EXPECT_TRUE(filefaults::Fired());
                }
                EXPECT_EQ(OpenDescriptors(), descriptors);
                // No temporary file is left beside the key file.
                EXPECT_EQ(FolderNames(Folder()), namesBefore);
                ExpectOthersKept();
                check(reported);
            }
        }
    }

    testsupport::TempDir m_config;
    std::string m_oldConfigHome;
};

TEST_F(SettingsFaultTest, AFailedWriteLeavesTheOldOrTheNewValueAndAllOthers)
{
    int newValues = 0;
    int oldValues = 0;
    Walk([] { return SettingsStore().WriteString("Changed", "new"); },
         [&](bool reported) {
             const std::string value = SettingsStore().ReadString("Changed");
             EXPECT_TRUE(value == "old" || value == "new") << value;
             // Reported written means written; a failure before the rename keeps the old.
             if (reported) {
                 EXPECT_EQ(value, "new");
             }
             (value == "new" ? newValues : oldValues)++;
         });
    // The walk reached both sides of the rename.
    EXPECT_GT(oldValues, 0);
    EXPECT_GT(newValues, 0);
}

TEST_F(SettingsFaultTest, AFailedNewValueIsAbsentOrWhole)
{
    Walk([] { return SettingsStore().WriteInteger("Navigation", 1); },
         [&](bool reported) {
             // A value that was never stored reads as 0.
             const std::int32_t value = SettingsStore().ReadInteger("Navigation");
             EXPECT_TRUE(value == 0 || value == 1) << value;
             if (reported) {
                 EXPECT_EQ(value, 1);
             }
             EXPECT_EQ(SettingsStore().ReadString("Changed"), "old");
         });
}

} // namespace
