#include "engine/HTMLFile.h"

#include "engine/FileHandle.h"
#include "engine/ReadAhead.h"
#include "engine/SplitError.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kReadBufferSize = 256 * 1024;
// A ring reader's chunk: small enough that the scan finds it still in the processor's cache
// where the system copied it.
constexpr std::size_t kRingChunk = 128 * 1024;
// Room in a ring slot before a chunk (a cache line, holding the spare byte) and after it (the
// scans' padding, rounded up to cache lines).
constexpr std::size_t kRingFront = 64;
constexpr std::size_t kRingBack = (tagfinder::kPadding + 63) / 64 * 64;
constexpr std::size_t RingStride(std::size_t chunk)
{
    return kRingFront + chunk + kRingBack;
}
constexpr std::size_t kWriteBufferSize = 64 * 1024;

const char* ClosingTagMissing(TTagKind wanted)
{
    switch (wanted) {
    case tkH1End:
        return "</H1> tag not found";
    case tkH2End:
        return "</H2> tag not found";
    default:
        return "</H3> tag not found";
    }
}

} // namespace

namespace {
// ASCII case-insensitive match of the letters of an upper-case word at text.
bool MatchesUpper(const char* text, std::string_view word)
{
    for (std::size_t i = 0; i < word.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xDF) != static_cast<unsigned char>(word[i]))
            return false;
    }
    return true;
}

// "<H1".."<H3" (or "</H1".."</H3" from the slash on): the kind, or tkOther.
TTagKind HeadingKind(std::string_view tag, std::size_t at, bool closing)
{
    if (tag.size() < at + 2 || (static_cast<unsigned char>(tag[at]) & 0xDF) != 'H')
        return tkOther;
    const char level = tag[at + 1];
    if (level < '1' || level > '3')
        return tkOther;
    return static_cast<TTagKind>(tkH1 + 2 * (level - '1') + (closing ? 1 : 0));
}
} // namespace

// Tags are compared without regard to case as the C locale sees it: only ASCII letters fold.
// Equivalent to trying "<BODY", "</BODY", "<H1", "</H1", ... in turn, but without a pass
// per pattern, since this runs for every tag of a document.
TTagKind ClassifyTag(std::string_view tag)
{
    if (tag.size() < 3 || tag[0] != '<')
        return tkOther;
    if (tag[1] == '/') {
        if (tag.size() >= 6 && MatchesUpper(tag.data() + 2, "BODY"))
            return tkBodyEnd;
        return HeadingKind(tag, 2, true);
    }
    if (tag.size() >= 5 && MatchesUpper(tag.data() + 1, "BODY"))
        return tkBody;
    return HeadingKind(tag, 1, false);
}

HTMLFile::HTMLFile(const std::string& name, bool forReading, const FileIdentity* keepOff,
                   std::size_t ringSize)
    : m_name(name), m_forReading(forReading), m_keepOff(keepOff)
{
    m_handle =
        forReading ? filehandle::OpenForReading(name) : filehandle::CreateForWriting(name, keepOff);
    if (m_handle == filehandle::kNotRegular) {
        m_handle = -1;
        throw SplitError("Not a regular file");
    }
    if (m_handle == filehandle::kIsSource) {
        m_handle = -1;
        throw SplitError(kWouldOverwriteSource);
    }
    if (m_handle < 0)
        throw SplitError(forReading ? "File could not be opened" : "File could not be created");
    m_onDisk = true;
    // One spare byte in front keeps the last byte read, so a tag's '<' can be re-read.
    const bool ring = forReading && ringSize > 0;
    if (ring) {
        // Slots of the ring: at least four, so the thread can read ahead of a kept section;
        // each with its spare byte in front of its first, and its padding after its last.
        m_ringSlots = std::max<std::size_t>(4, ringSize / kRingChunk);
        m_ringChunk = std::max<std::size_t>(64, ringSize / m_ringSlots / 64 * 64);
        const std::size_t stride = RingStride(m_ringChunk);
        m_owned.reset(new char[m_ringSlots * stride + 64]);
        // The ring is touched once up front, so the memory a run takes does not depend on the
        // document; its chunks start on a cache line, as the vector scans like.
        std::memset(m_owned.get(), 0, m_ringSlots * stride + 64);
        const auto misaligned = reinterpret_cast<std::uintptr_t>(m_owned.get()) % 64;
        m_ring = m_owned.get() + (misaligned ? 64 - misaligned : 0) + kRingFront;
        m_ringSize = m_ringSlots * stride - kRingFront;
        m_data = m_ring - 1;
        StartReadAhead();
    } else {
        m_capacity = forReading ? kReadBufferSize + 1 : kWriteBufferSize;
        m_owned.reset(new char[m_capacity + (forReading ? tagfinder::kPadding : 0)]);
        m_data = m_owned.get();
    }
    if (forReading)
        m_pos = m_len = m_first = 1;
}

void HTMLFile::StartReadAhead()
{
    const std::intptr_t handle = m_handle;
    // The fault point is passed where the bytes are taken (FillRing), so the reads go in the
    // same order among the other file calls as without the thread.
    m_ahead = std::make_unique<ReadAhead>(
        [handle](char* data, std::size_t count) {
            return filehandle::ReadUnchecked(handle, data, count);
        },
        ReadAhead::Layout{m_ring, m_ringChunk, RingStride(m_ringChunk), m_ringSlots,
                          tagfinder::kPadding});
}

HTMLFile::HTMLFile(const std::string& name, char* buffer, std::size_t capacity,
                   const FileIdentity* keepOff)
    : m_name(name), m_forReading(false), m_keepOff(keepOff), m_data(buffer), m_capacity(capacity)
{
    // Creating and deleting a file per page is costly on many file systems, so while the
    // content fits in memory the file is only made when it has to hold something: when the
    // buffer overflows, when it is closed, or when a failed run leaves it behind. Anything
    // already there under that name is replaced at once, as for any output file.
    m_deferred = filehandle::NameIsFree(name);
    if (!m_deferred)
        Create();
}

void HTMLFile::Create()
{
    m_deferred = false;
    m_handle = filehandle::CreateForWriting(m_name, m_keepOff);
    if (m_handle == filehandle::kIsSource) {
        m_handle = -1;
        throw SplitError(kWouldOverwriteSource);
    }
    if (m_handle < 0)
        throw SplitError("File could not be created");
    m_onDisk = true;
}

FileIdentity HTMLFile::Identity() const
{
    return filehandle::IdentityOf(m_handle);
}

void HTMLFile::Discard()
{
    m_pos = 0;
    m_deferred = false;
    CloseHandle();
}

HTMLFile::~HTMLFile()
{
    if (m_deferred) {
        try {
            Create();
        } catch (const SplitError&) {
            return;
        }
    }
    if (m_handle < 0)
        return;
    try {
        Flush();
    } catch (const SplitError&) {
        // The run that owned this file has already failed; keep what could be written.
    }
    CloseHandle();
}

void HTMLFile::CloseHandle() noexcept
{
    // The reading thread stops before the file it reads is closed.
    m_ahead.reset();
    if (m_handle >= 0)
        filehandle::CloseFile(m_handle);
    m_handle = -1;
}

void HTMLFile::Close()
{
    if (m_deferred)
        Create();
    if (m_handle < 0)
        return;
    try {
        Flush();
    } catch (...) {
        CloseHandle();
        throw;
    }
    m_ahead.reset(); // stops reading before the file closes
    const bool closed = filehandle::CloseFile(m_handle);
    m_handle = -1;
    if (!closed && !m_forReading)
        throw SplitError("File could not be written");
}

// ---- Reading ----

bool HTMLFile::Fill()
{
    if (m_ring)
        return FillRing();
    // Keep the last byte delivered in front, so stepping back over it stays possible.
    if (m_pos > m_first) {
        m_data[0] = m_data[m_pos - 1];
        m_first = 0;
    }
    m_pos = m_len = 1;
    const long long n = filehandle::ReadSome(m_handle, m_data + 1, kReadBufferSize);
    if (n < 0)
        throw SplitError("File could not be read");
    m_len += static_cast<std::size_t>(n);
    std::memset(m_data + m_len, 0, tagfinder::kPadding);
    return n > 0;
}

bool HTMLFile::FillRing()
{
    const bool delivered = m_pos > m_first;
    const char last = delivered ? m_data[m_pos - 1] : '\0';
    // The chunks from the first one whose bytes the keeper keeps stay as they are; where the
    // next chunk would need the slot of that first one, the kept bytes go elsewhere first.
    if (!m_ahead)
        throw SplitError("File could not be read"); // closed
    std::size_t keepFrom = m_ahead->Taken();
    if (const char* kept = m_keeper ? m_keeper->KeptFrom() : nullptr) {
        keepFrom = m_ahead->ChunkAt(kept);
        if (m_ahead->Taken() - keepFrom >= m_ahead->Slots()) {
            m_keeper->Spill();
            keepFrom = m_ahead->Taken();
        }
    }
    if (filehandle::ReadFails(m_handle))
        throw SplitError("File could not be read");
    const ReadAhead::Chunk chunk = m_ahead->Next(keepFrom);
    if (chunk.Length < 0)
        throw SplitError("File could not be read");
    // The spare byte in front of the chunk keeps the last byte delivered.
    m_data = chunk.Data - 1;
    if (delivered) {
        m_data[0] = last;
        m_first = 0;
    }
    m_pos = 1;
    m_len = 1 + static_cast<std::size_t>(chunk.Length);
    return chunk.Length > 0;
}

std::size_t HTMLFile::Read(char* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    if (m_pos == m_len && !Fill())
        return 0;
    const std::size_t n = std::min(count, m_len - m_pos);
    std::memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    return n;
}

TTagKind HTMLFile::ReadTag(char* buffer, std::size_t limit, std::size_t& length)
{
    // Step back over the '<' the caller has just read. At the very start of the file there
    // is nothing to step back over and the first byte is read instead.
    if (m_pos > m_first)
        --m_pos;
    if (m_pos == m_len && !Fill())
        throw SplitError("Begin of tag not found");
    if (m_data[m_pos] != '<') {
        ++m_pos;
        throw SplitError("Begin of tag not found");
    }
    buffer[0] = '<';
    ++m_pos;

    std::size_t pos = 1;
    while (pos < limit && buffer[pos - 1] != '>') {
        if (m_pos == m_len && !Fill())
            break;
        const char* from = m_data + m_pos;
        const std::size_t room = std::min(m_len - m_pos, limit - pos);
        const void* gt = std::memchr(from, '>', room);
        const std::size_t n = gt ? static_cast<const char*>(gt) - from + 1 : room;
        std::memcpy(buffer + pos, from, n);
        pos += n;
        m_pos += n;
    }
    length = pos;
    buffer[pos] = '\0';
    if (pos >= limit)
        throw SplitError("Tag too long");
    if (buffer[pos - 1] != '>')
        throw SplitError("End of tag not found");
    return ClassifyTag(std::string_view(buffer, pos));
}

std::size_t HTMLFile::ReadHeading(char* buffer, std::size_t limit, TTagKind openingKind)
{
    const TTagKind wanted = openingKind == tkH1 ? tkH1End : openingKind == tkH2 ? tkH2End : tkH3End;
    std::size_t sum = 0;
    TTagKind lastKind = tkOther;
    while (sum < limit && lastKind != wanted) {
        if (m_pos == m_len && !Fill())
            break;
        const char* from = m_data + m_pos;
        const std::size_t room = std::min(m_len - m_pos, limit - sum);
        const void* lt = std::memchr(from, '<', room);
        const std::size_t text = lt ? static_cast<const char*>(lt) - from : room;
        std::memcpy(buffer + sum, from, text);
        sum += text;
        m_pos += text;
        if (lt) {
            ++m_pos; // the '<', which ReadTag reads again
            std::size_t n = 0;
            lastKind = ReadTag(buffer + sum, limit - sum, n);
            sum += n;
        }
    }
    if (sum >= limit)
        throw SplitError("Heading too long");
    if (lastKind != wanted)
        throw SplitError(ClosingTagMissing(wanted));
    buffer[sum] = '\0';
    return sum;
}

std::size_t HTMLFile::ReadHeader()
{
    m_header.clear();
    std::unique_ptr<char[]> tag;
    TTagKind lastKind = tkOther;
    while (lastKind != tkBody) {
        if (m_pos == m_len && !Fill())
            break;
        const char* from = m_data + m_pos;
        const std::size_t room = m_len - m_pos;
        const void* lt = std::memchr(from, '<', room);
        const std::size_t text = lt ? static_cast<const char*>(lt) - from : room;
        m_header.append(from, text);
        m_pos += text;
        if (lt) {
            ++m_pos;
            if (!tag)
                tag.reset(new char[kTagRoom + 1]);
            std::size_t n = 0;
            lastKind = ReadTag(tag.get(), kTagRoom, n);
            m_header.append(tag.get(), n);
        }
        if (m_header.size() > kMaxHeaderLength)
            throw SplitError("Header too long");
    }
    if (lastKind != tkBody)
        throw SplitError("<BODY> tag not found");
    return m_header.size();
}

void HTMLFile::Rewind()
{
    // What was read ahead is of the pass that ends.
    m_ahead.reset();
    if (!m_forReading || m_handle < 0 || !filehandle::SeekToStart(m_handle))
        throw SplitError("File could not be read");
    if (m_ring)
        StartReadAhead();
    m_data = m_ring ? m_ring - 1 : m_owned.get();
    m_pos = m_len = m_first = 1;
}

// ---- Writing ----

void HTMLFile::WriteThrough(const char* data, std::size_t count)
{
    if (m_deferred)
        Create();
    std::size_t done = 0;
    while (done < count) {
        const long long n = filehandle::WriteSome(m_handle, data + done, count - done);
        if (n <= 0)
            throw SplitError("File could not be written");
        done += static_cast<std::size_t>(n);
    }
}

void HTMLFile::WriteThroughParts(const std::string_view* parts, std::size_t count)
{
    if (m_deferred)
        Create();
    // The part written in part, if any.
    std::string_view rest;
    while (count > 0 || !rest.empty()) {
        if (rest.empty()) {
            rest = parts[0];
            ++parts;
            --count;
            continue;
        }
#ifdef _WIN32
        const long long n = filehandle::WriteSome(m_handle, rest.data(), rest.size());
#else
        const long long n = filehandle::WriteSomeParts(m_handle, rest, parts, count);
#endif
        if (n <= 0)
            throw SplitError("File could not be written");
        // Past the parts written whole, into the one written in part.
        auto done = static_cast<std::size_t>(n);
        if (done < rest.size()) {
            rest.remove_prefix(done);
            continue;
        }
        done -= rest.size();
        rest = {};
        while (count > 0 && done >= parts[0].size()) {
            done -= parts[0].size();
            ++parts;
            --count;
        }
        if (count > 0) {
            rest = parts[0].substr(done);
            ++parts;
            --count;
        }
    }
}

void HTMLFile::WriteParts(const std::string_view* parts, std::size_t count)
{
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i)
        total += parts[i].size();
    if (total <= m_capacity - m_pos) {
        for (std::size_t i = 0; i < count; ++i)
            Write(parts[i].data(), parts[i].size());
        return;
    }
    const std::string_view buffered(m_data, m_pos);
    // Whatever happens, the buffer is done with, so the destructor does not try again.
    m_pos = 0;
    if (buffered.empty()) {
        WriteThroughParts(parts, count);
        return;
    }
    std::vector<std::string_view> all;
    all.reserve(count + 1);
    all.push_back(buffered);
    all.insert(all.end(), parts, parts + count);
    WriteThroughParts(all.data(), all.size());
}

void HTMLFile::Flush()
{
    if (m_forReading || m_pos == 0)
        return;
    const std::size_t count = m_pos;
    // Whatever happens, the buffer is done with, so the destructor does not try again.
    m_pos = 0;
    WriteThrough(m_data, count);
}

void HTMLFile::WriteSlow(const char* data, std::size_t count)
{
    if (count > m_capacity - m_pos) {
        Flush();
        if (count >= m_capacity) {
            // Large pieces go straight out; buffering them would only copy them once more.
            WriteThrough(data, count);
            return;
        }
    }
    std::memcpy(m_data + m_pos, data, count);
    m_pos += count;
}

void HTMLFile::AppendFrom(HTMLFile& source)
{
    // Whatever the source has buffered goes first, then the rest of its file.
    if (source.m_pos < source.m_len) {
        Write(source.m_data + source.m_pos, source.m_len - source.m_pos);
        source.m_pos = source.m_len;
    }
    Flush();
#ifndef _WIN32
    if (filehandle::CopyInKernel(static_cast<int>(source.m_handle), static_cast<int>(m_handle)))
        return;
#endif
    while (source.Fill())
        Write(source.m_data + 1, source.m_len - 1);
}
