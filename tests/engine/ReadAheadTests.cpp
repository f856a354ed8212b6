// Reading ahead on a thread: the bytes in order whatever the reader takes at a time, the end and
// a failure where they happened, and a stop with reads under way.

#include "engine/ReadAhead.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

// A file of the given bytes whose reads return at most step bytes, failing from failAt on.
struct FakeFile
{
    std::string Bytes;
    std::size_t Step = 1;
    std::size_t FailAt = std::string::npos;
    std::size_t At = 0;

    long long Read(char* data, std::size_t count)
    {
        if (At >= FailAt)
            return -1;
        const std::size_t n = std::min({count, Step, Bytes.size() - At});
        std::copy_n(Bytes.data() + At, n, data);
        At += n;
        return static_cast<long long>(n);
    }
};

// Takes everything with room bytes at a time: what came, and the last result.
std::pair<std::string, long long> TakeAll(ReadAhead& ahead, std::size_t room)
{
    std::string taken;
    std::string buffer(room, '\0');
    for (;;) {
        const long long n = ahead.Next(buffer.data(), room);
        if (n <= 0)
            return {taken, n};
        taken.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

} // namespace

TEST(ReadAheadTest, BytesInOrderThenTheEndOrTheFailureForGood)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += static_cast<char>('a' + i % 26 + (i % 7 == 0 ? 'A' - 'a' : 0));
    // Reads shorter and longer than what the reader takes, and a chunk of one byte.
    for (const auto& [chunk, step, room] :
         {std::tuple{4096, 4096, 1000}, {4096, 777, 5000}, {1, 1, 3}, {65536, 65536, 65536}}) {
        FakeFile file{bytes, static_cast<std::size_t>(step)};
        ReadAhead ahead([&](char* data, std::size_t count) { return file.Read(data, count); },
                        chunk);
        const auto [taken, last] = TakeAll(ahead, room);
        EXPECT_EQ(taken, bytes) << chunk << " " << step << " " << room;
        EXPECT_EQ(last, 0);
        char byte;
        EXPECT_EQ(ahead.Next(&byte, 1), 0);
    }

    // A failed read comes after every byte read before it, and stays.
    FakeFile failing{bytes, 1000, 30000};
    ReadAhead ahead([&](char* data, std::size_t count) { return failing.Read(data, count); }, 4096);
    const auto [taken, last] = TakeAll(ahead, 1500);
    EXPECT_EQ(taken, bytes.substr(0, 30000));
    EXPECT_LT(last, 0);
    char byte;
    EXPECT_LT(ahead.Next(&byte, 1), 0);

    // Stopped with its slots full and more to read, it ends without reading on.
    FakeFile endless{std::string(1 << 20, 'x'), 4096};
    {
        ReadAhead stopped([&](char* data, std::size_t count) { return endless.Read(data, count); },
                          4096);
        EXPECT_EQ(stopped.Next(&byte, 1), 1);
    }
    EXPECT_LT(endless.At, endless.Bytes.size());
}
