#include "settings/KeyFileText.h"
#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestFixture.h"

#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SettingsProcessTest : public SettingsFixture
{
};

// Runs body in a child process, which ends with body's result as its exit code.
template <typename Body> pid_t Spawn(Body body)
{
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    return pid;
}

bool ExitedCleanly(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int TemporaryFilesIn(const fs::path& folder)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name != "Quirefold.reg" && name != "Quirefold.reg.lock")
            ++count;
    }
    return count;
}

TEST_F(SettingsProcessTest, WritersInSeveralProcessesLoseNoValue)
{
    constexpr int Writers = 6;
    constexpr int ValuesEach = 10;
    WriteFileText(KeyWith("; kept by every writer"));

    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        children.push_back(Spawn([&] {
            // Wait until every writer exists, then all start at once.
            ::close(gate[1]);
            char c;
            if (::read(gate[0], &c, 1) != 0)
                return 2;
            SettingsStore store;
            for (int k = 0; k < ValuesEach; ++k) {
                std::string name = "W" + std::to_string(w) + "_" + std::to_string(k);
                if (!store.WriteString(name + "s", name + " text") ||
                    !store.WriteInteger(name + "n", w * 100 + k))
                    return 1;
            }
            return 0;
        }));
        ASSERT_GT(children.back(), 0);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t child : children)
        EXPECT_TRUE(ExitedCleanly(child));

    SettingsStore store;
    for (int w = 0; w < Writers; ++w) {
        for (int k = 0; k < ValuesEach; ++k) {
            std::string name = "W" + std::to_string(w) + "_" + std::to_string(k);
            EXPECT_EQ(store.ReadString(name + "s"), name + " text");
            EXPECT_EQ(store.ReadInteger(name + "n"), w * 100 + k);
        }
    }
    EXPECT_NE(FileText().find("\n; kept by every writer\n"), std::string::npos);
    EXPECT_EQ(TemporaryFilesIn(Folder()), 0);
}

std::string Payload(int i)
{
    return std::to_string(i) + ":" + std::string(4000 + i % 7, static_cast<char>('a' + i % 26));
}

// The whole file after the payload of step p and the counter of step c were written.
std::string FileAfter(int p, int c)
{
    std::string lines = "; before the values\n\"Fixed\"=\"stays\"";
    if (p >= 0)
        lines += "\n" + KeyFileText::FormatValue("Payload", RegistryValue::String(Payload(p)));
    if (c >= 0)
        lines += "\n" + KeyFileText::FormatValue("Counter", RegistryValue::Dword(c));
    return "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brisendale Software\\Quirefold]\n" + lines +
           "\n\n[Other]\n\"Fixed\"=dword:00000001\n";
}

// Reads which step the file stands at; false when it is not a file the writer can produce.
bool StepsOf(const std::string& text, int& p, int& c)
{
    KeyFileText parsed = KeyFileText::Parse(text);
    const std::string key = "HKEY_CURRENT_USER\\Software\\Brisendale Software\\Quirefold";
    std::optional<RegistryValue> payload = parsed.Find(key, "Payload");
    std::optional<RegistryValue> counter = parsed.Find(key, "Counter");
    p = payload ? std::stoi(payload->Data) : -1;
    c = -1;
    if (counter && counter->Data.size() == 4) {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) |
                    static_cast<unsigned char>(counter->Data[static_cast<std::size_t>(i)]);
        c = static_cast<int>(value);
    }
    return text == FileAfter(p, c);
}

TEST_F(SettingsProcessTest, WriterKilledAtAnyMomentLeavesTheOldOrTheNewFile)
{
    WriteFileText(FileAfter(-1, -1));
    std::random_device seedSource;
    const unsigned seed = seedSource();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);

    int lastP = -1;
    int lastC = -1;
    for (int round = 0; round < 60; ++round) {
        // Payload first, then the counter: the file holds payload c or c + 1.
        const int start = lastC + 1;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t child = Spawn([start, &ready] {
            SettingsStore store;
            for (int i = start;; ++i) {
                store.WriteString("Payload", Payload(i));
                store.WriteInteger("Counter", i);
                // After the first complete step, let the parent pick its moment to kill, so
                // every round lands among the writes however slow this machine is.
                if (i == start && ::write(ready[1], "r", 1) != 1)
                    return 1;
            }
            return 0;
        });
        ASSERT_GT(child, 0);
        ::close(ready[1]);
        char byte;
        bool started = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(started);
        ASSERT_TRUE(WIFSIGNALED(status));

        int p = 0;
        int c = 0;
        std::string text = FileText();
        ASSERT_TRUE(StepsOf(text, p, c)) << "round " << round << ":\n" << text.substr(0, 300);
        ASSERT_TRUE(p == c || p == c + 1) << p << " " << c;
        ASSERT_GE(p, lastP);
        ASSERT_GE(c, start);
        lastP = p;
        lastC = c;
    }
    // Each round completed at least its first step.
    EXPECT_GE(lastC, 59);

    struct stat st;
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Temporary files of killed writers are cleared by the next write.
    EXPECT_TRUE(SettingsStore().WriteInteger("Counter", lastC + 1));
    EXPECT_EQ(TemporaryFilesIn(Folder()), 0);
}

} // namespace
