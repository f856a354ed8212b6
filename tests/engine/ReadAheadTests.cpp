// Reading ahead on a thread into a ring of slots: the bytes in order, chunks the reader keeps left
// as they were, the end and a failure where they happened, and a stop with reads under way.

#include "engine/ReadAhead.h"

#include <algorithm>
#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

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

// A ring of slots slots of chunk bytes, each with room for the spare byte and the padding.
struct Ring
{
    static constexpr std::size_t kFront = 8;
    static constexpr std::size_t kPadding = 16;
    std::size_t Chunk;
    std::size_t Slots;
    std::vector<char> Memory = std::vector<char>(Slots * Stride(), '\x7f');

    std::size_t Stride() const { return kFront + Chunk + kPadding; }
    ReadAhead::Layout Layout()
    {
        return {Memory.data() + kFront, Chunk, Stride(), Slots, kPadding};
    }
};

// Takes everything, keeping the last keep chunks each time and checking that they stay as they
// were read: what came, and the last result.
std::pair<std::string, long long> TakeAll(ReadAhead& ahead, std::size_t keep)
{
    std::string taken;
    std::vector<std::pair<const char*, std::string>> kept; // the chunks from keepFrom on
    for (;;) {
        if (kept.size() > keep)
            kept.erase(kept.begin(), kept.end() - static_cast<std::ptrdiff_t>(keep));
        const std::size_t keepFrom = ahead.Taken() - kept.size();
        const ReadAhead::Chunk chunk = ahead.Next(keepFrom);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const auto& [at, bytes] = kept[i];
            EXPECT_EQ(std::string(at, bytes.size()), bytes);
            EXPECT_EQ(ahead.ChunkAt(at + bytes.size() / 2), keepFrom + i);
        }
        if (chunk.Length <= 0)
            return {taken, chunk.Length};
        const std::string bytes(chunk.Data, static_cast<std::size_t>(chunk.Length));
        // The scans may read past the end: zeros there.
        EXPECT_EQ(std::string(chunk.Data + chunk.Length, Ring::kPadding),
                  std::string(Ring::kPadding, '\0'));
        taken += bytes;
        kept.emplace_back(chunk.Data, bytes);
    }
}

} // namespace

TEST(ReadAheadTest, BytesInOrderKeptChunksUntouchedThenTheEndOrTheFailureForGood)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += static_cast<char>('a' + i % 26 + (i % 7 == 0 ? 'A' - 'a' : 0));
    // Reads shorter than a chunk, a chunk of one byte, and readers keeping none, some or all
    // but one of the slots.
    for (const auto& [chunk, step, slots, keep] : {std::tuple{4096, 4096, 4, 0},
                                                   {4096, 777, 4, 3},
                                                   {1, 1, 8, 5},
                                                   {65536, 65536, 16, 8},
                                                   {1000, 300, 4, 1}}) {
        SCOPED_TRACE(std::to_string(chunk) + " " + std::to_string(step) + " " +
                     std::to_string(slots) + " " + std::to_string(keep));
        FakeFile file{bytes, static_cast<std::size_t>(step)};
        Ring ring{static_cast<std::size_t>(chunk), static_cast<std::size_t>(slots)};
        ReadAhead ahead([&](char* data, std::size_t count) { return file.Read(data, count); },
                        ring.Layout());
        const auto [taken, last] = TakeAll(ahead, static_cast<std::size_t>(keep));
        EXPECT_TRUE(taken == bytes);
        EXPECT_EQ(last, 0);
        EXPECT_EQ(ahead.Next(ahead.Taken()).Length, 0);
        // The spare bytes in front of the chunks were not written.
        for (std::size_t slot = 0; slot < ring.Slots; ++slot)
            EXPECT_EQ(ring.Memory[slot * ring.Stride() + Ring::kFront - 1], '\x7f');
    }

    // A failed read comes after every byte read before it, and stays.
    FakeFile failing{bytes, 1000, 30000};
    Ring ring{4096, 4};
    ReadAhead ahead([&](char* data, std::size_t count) { return failing.Read(data, count); },
                    ring.Layout());
    const auto [taken, last] = TakeAll(ahead, 2);
    EXPECT_TRUE(taken == bytes.substr(0, 30000));
    EXPECT_LT(last, 0);
    EXPECT_LT(ahead.Next(ahead.Taken()).Length, 0);

    // Stopped with its slots full and more to read, it ends without reading on.
    FakeFile endless{std::string(1 << 20, 'x'), 4096};
    {
        ReadAhead stopped([&](char* data, std::size_t count) { return endless.Read(data, count); },
                          ring.Layout());
        EXPECT_EQ(stopped.Next(0).Length, 4096);
    }
    EXPECT_LT(endless.At, endless.Bytes.size());
}
