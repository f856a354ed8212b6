#pragma once

#include "engine/FileHandle.h"
#include "engine/TagFinder.h"

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// The scan of one form is compiled as one piece, with everything it calls inline in it.
#if defined(__GNUC__)
#define QUIREFOLD_SCAN_FLATTEN __attribute__((flatten))
#else
#define QUIREFOLD_SCAN_FLATTEN
#endif

// Kinds of tags the scanner tells apart. Each closing kind is its opening kind plus one.
enum TTagKind
{
    tkOther = 0,
    tkBody = 1,
    tkBodyEnd = 2,
    tkH1 = 3,
    tkH1End = 4,
    tkH2 = 5,
    tkH2End = 6,
    tkH3 = 7,
    tkH3End = 8,
};

// Room for one tag read from the body or the header.
inline constexpr std::size_t kTagRoom = 500000;
// Room for the content of one heading, its closing tag included.
inline constexpr std::size_t kHeadingRoom = 5000;
// A header longer than this is refused rather than held in memory.
inline constexpr std::size_t kMaxHeaderLength = 64u * 1024 * 1024;

// The failure of a run whose output name turns out to be the source itself.
inline constexpr const char* kWouldOverwriteSource = "Output file would overwrite the source";

class ReadAhead;

// Classifies a tag by its leading characters, ignoring ASCII case.
TTagKind ClassifyTag(std::string_view tag);

// What the body scan asks of its caller at each tag.
template <typename T>
concept TagSink = requires(T& sink, TTagKind kind)
{
    // Runs at every '<' met, before its tag is read.
    sink.BeforeTag();
    // Whether the tag just read ends the scan unwritten (a split heading, the body's end).
    {
        sink.EndsSection(kind)
        } -> std::convertible_to<bool>;
    // Whether the scan must stop after the tag just read.
    {
        sink.StopRequested()
        } -> std::convertible_to<bool>;
};

// A sink may also look at every tag the scan passes on: PassTag returns what to write instead
// of the tag, or nullptr to write it as it is. Sinks without it cost nothing extra.
template <typename T>
concept TagWatcher = requires(T& sink, std::string_view tag)
{
    {
        sink.PassTag(tag)
        } -> std::convertible_to<const std::string*>;
};

// A sink may also let the scan pass ordinary tags by the dozen: QuietTags says how many tags
// may come next without BeforeTag or StopRequested having anything to do, and PassedQuietly(n)
// counts n tags passed so, as n calls of BeforeTag would. Only tags that ClassifyTag calls
// tkOther are passed quietly, a 64-byte block at a time (32 tags at most).
template <typename T>
concept QuietTagSink = requires(T& sink, std::size_t n)
{
    {
        sink.QuietTags()
        } -> std::convertible_to<std::size_t>;
    sink.PassedQuietly(n);
};

// A watcher whose PassTag does nothing at all with a tag that holds no '=' (no attribute value:
// it looks for ids, names and links) says so with kWatchesValuesOnly; quiet, it is spared such
// tags as well.
template <typename T>
concept ValueWatcher = TagWatcher<T> && requires
{
    requires T::kWatchesValuesOnly;
};

// Where a scan's text goes when it only reads.
struct DiscardTarget
{
    void Write(const char*, std::size_t) {}
};

enum class ScanEnd
{
    EndOfFile,
    SectionTag,
    Stopped
};

// Whoever keeps bytes of a reader's ring (see HTMLFile's ring) to write them out later.
class RingKeeper
{
public:
    // The first byte of the ring still kept, or nullptr: every byte read from there on is kept.
    virtual const char* KeptFrom() const = 0;
    // The ring needs the room: writes the kept bytes elsewhere, and keeps none afterwards.
    virtual void Spill() = 0;

protected:
    ~RingKeeper() = default;
};

// The engine's one file class: a source opened for reading with a forward-only tag scanner,
// or an output file created for writing. Reads and writes are buffered; the scanner behaves
// as if it read one byte at a time and stepped back one byte before each tag.
class HTMLFile
{
public:
    // Opens an existing regular file (forReading) or creates/replaces one. Throws SplitError
    // "File could not be opened", "Not a regular file" (a folder, pipe or device, refused
    // without blocking) or "File could not be created" (also for a name that is no regular
    // file). A writer whose name turns out to be the file keepOff (which must outlive it)
    // throws kWouldOverwriteSource before anything in it changes.
    // A reader with a ring of about ringSize bytes reads into its slots one chunk after another,
    // on a thread of its own, never over bytes its keeper (SetKeeper) still keeps: a page's
    // section can be written from where it was read. The ring is touched once up front, so the
    // memory a run takes does not depend on the document.
    HTMLFile(const std::string& name, bool forReading, const FileIdentity* keepOff = nullptr,
             std::size_t ringSize = 0);
    // A writer that buffers into memory lent by the caller (which must outlive it; none: every
    // write goes straight to the file), made on disk only once it has to hold something.
    HTMLFile(const std::string& name, char* buffer, std::size_t capacity,
             const FileIdentity* keepOff = nullptr);
    // Writes out what is still buffered (errors cannot be reported here) and closes.
    ~HTMLFile();
    HTMLFile(const HTMLFile&) = delete;
    HTMLFile& operator=(const HTMLFile&) = delete;

    const std::string& Name() const { return m_name; }
    // Which file this is; not Known when the file is not open.
    FileIdentity Identity() const;

    // Reading side. Read returns the bytes delivered, 0 at end of file; a failing read throws
    // "File could not be read".
    std::size_t Read(char* buffer, std::size_t count);
    // Reads the tag whose '<' was just read. buffer needs limit + 1 bytes; the tag is stored
    // NUL-terminated and its length returned in length. The longest tag accepted is limit - 1.
    TTagKind ReadTag(char* buffer, std::size_t limit, std::size_t& length);
    // Reads heading content up to and including the closing tag of the same level, right
    // after the opening tag was read. buffer needs limit + 1 bytes. Returns the bytes stored.
    std::size_t ReadHeading(char* buffer, std::size_t limit, TTagKind openingKind);
    // Reads everything up to and including the first body tag; call once, first (again after
    // Rewind).
    std::size_t ReadHeader();
    // Goes back to the first byte, for another pass over the file. Throws "File could not be
    // read" when the file cannot be positioned.
    void Rewind();
    // A ring reader's bytes (empty for other files), and who keeps some of them (nullptr: no
    // one); the keeper must outlive its keeping.
    std::string_view Ring() const { return {m_ring, m_ringSize}; }
    void SetKeeper(RingKeeper* keeper) { m_keeper = keeper; }
    const std::string& Header() const { return m_header; }
    // Copies text and tags to target until a tag that sink.EndsSection (stored in tag, not
    // written), until sink.StopRequested after a tag, or until end of file. Behaves exactly
    // like reading byte by byte and calling ReadTag at each '<', only faster. lastKind is the last
    // tag's kind. Target is an HTMLFile or anything else with Write(data, count).
    template <TagSink Sink, typename Target>
    ScanEnd ScanBody(Target& target, char* tag, std::size_t limit, std::size_t& length,
                     TTagKind& lastKind, Sink& sink);

    // Writing side. A write that does not complete throws "File could not be written".
    void Write(const char* data, std::size_t count)
    {
        if (count <= m_capacity - m_pos) {
            std::memcpy(m_data + m_pos, data, count);
            m_pos += count;
        } else {
            WriteSlow(data, count);
        }
    }
    void WriteText(std::string_view text) { Write(text.data(), text.size()); }
    // Writes the parts in order. Where they do not fit in the buffer, what it holds goes out with
    // them in one gathered write instead of one write per piece.
    void WriteParts(const std::string_view* parts, std::size_t count);
    // Appends the whole remaining content of source.
    void AppendFrom(HTMLFile& source);
    // Writes out the buffer and closes the file, reporting a failure.
    void Close();
    // Closes the file without writing out the buffer: its content was taken elsewhere and the
    // file is about to be deleted.
    void Discard();
    // Whether the file was made on disk (a deferred writer may never need it).
    bool OnDisk() const { return m_onDisk; }

private:
    // The scan for one instruction set (engine/TagFinder.h).
    template <class Blocks, TagSink Sink, typename Target>
    ScanEnd ScanBodyWith(Target& target, char* tag, std::size_t limit, std::size_t& length,
                         TTagKind& lastKind, Sink& sink);
    template <TagSink Sink, typename Target>
    QUIREFOLD_SCAN_FLATTEN ScanEnd ScanBodyBaseline(Target& target, char* tag, std::size_t limit,
                                                    std::size_t& length, TTagKind& lastKind,
                                                    Sink& sink)
    {
        return ScanBodyWith<tagfinder::Sse2Blocks>(target, tag, limit, length, lastKind, sink);
    }
#ifdef QUIREFOLD_TAGFINDER_WIDE
    template <TagSink Sink, typename Target>
    QUIREFOLD_TARGET_AVX2 QUIREFOLD_SCAN_FLATTEN ScanEnd ScanBodyAvx2(Target& target, char* tag,
                                                                      std::size_t limit,
                                                                      std::size_t& length,
                                                                      TTagKind& lastKind,
                                                                      Sink& sink)
    {
        return ScanBodyWith<tagfinder::Avx2Blocks>(target, tag, limit, length, lastKind, sink);
    }
    template <TagSink Sink, typename Target>
    QUIREFOLD_TARGET_AVX512 QUIREFOLD_SCAN_FLATTEN ScanEnd ScanBodyAvx512(Target& target, char* tag,
                                                                          std::size_t limit,
                                                                          std::size_t& length,
                                                                          TTagKind& lastKind,
                                                                          Sink& sink)
    {
        return ScanBodyWith<tagfinder::Avx512Blocks>(target, tag, limit, length, lastKind, sink);
    }
#endif

    bool Fill();
    bool FillRing();
    void StartReadAhead();
    void Create();
    void WriteSlow(const char* data, std::size_t count);
    void WriteThrough(const char* data, std::size_t count);
    void WriteThroughParts(const std::string_view* parts, std::size_t count);
    void Flush();
    void CloseHandle() noexcept;

    std::string m_name;
    bool m_forReading;
    const FileIdentity* m_keepOff = nullptr;
    std::intptr_t m_handle = -1;
    std::unique_ptr<char[]> m_owned;
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
    bool m_deferred = false; // writer: the file is not made yet
    bool m_onDisk = false;
    std::size_t m_pos = 0;      // reading: next byte; writing: bytes buffered
    std::size_t m_len = 0;      // reading: bytes valid in the buffer
    std::size_t m_first = 0;    // reading: first buffer index holding a byte already read
    char* m_ring = nullptr;     // reading with a ring: its first chunk's first byte
    std::size_t m_ringSize = 0; // from m_ring to the end of its last slot
    std::size_t m_ringSlots = 0;
    std::size_t m_ringChunk = 0;
    RingKeeper* m_keeper = nullptr;
    std::unique_ptr<ReadAhead> m_ahead; // a ring reader's reading thread
    std::string m_header;
};

template <TagSink Sink, typename Target>
ScanEnd HTMLFile::ScanBody(Target& target, char* tag, std::size_t limit, std::size_t& length,
                           TTagKind& lastKind, Sink& sink)
{
#ifdef QUIREFOLD_TAGFINDER_WIDE
    const tagfinder::Form form = std::min(tagfinder::WidestForm(), tagfinder::g_formLimit);
    if (form == tagfinder::Form::Avx512)
        return ScanBodyAvx512(target, tag, limit, length, lastKind, sink);
    if (form == tagfinder::Form::Avx2)
        return ScanBodyAvx2(target, tag, limit, length, lastKind, sink);
#endif
    return ScanBodyBaseline(target, tag, limit, length, lastKind, sink);
}

template <class Blocks, TagSink Sink, typename Target>
ScanEnd HTMLFile::ScanBodyWith(Target& target, char* tag, std::size_t limit, std::size_t& length,
                               TTagKind& lastKind, Sink& sink)
{
    constexpr std::size_t kNone = ~std::size_t{0};
    constexpr bool kQuiet = QuietTagSink<Sink> && (!TagWatcher<Sink> || ValueWatcher<Sink>);
    TTagKind kind = lastKind;
    for (;;) {
        if (m_pos == m_len && !Fill()) {
            lastKind = kind;
            return ScanEnd::EndOfFile;
        }
        // Text and ordinary tags pass through as one run of bytes straight from the buffer.
        const char* const data = m_data;
        const std::size_t len = m_len;
        std::size_t runStart = m_pos;
        // The '<' of a tag whose '>' is still to come (its BeforeTag has been), and whether it
        // may be of a kind the splitter acts on.
        std::size_t openAt = kNone;
        bool openKnown = false;
        // No tag inside the buffer can be too long.
        const bool roomy = limit > len;

        // A tag read from the buffer: 0, or 1 when it ends the section, 2 when the scan stops.
        const auto tagRead = [&](std::size_t lt, std::size_t gt) -> int {
            const std::size_t n = gt - lt + 1;
            const char* const tagStart = data + lt;
            // Nearly every tag is passed over by its first few bytes alone.
            kind = tagfinder::MayBeKnown(tagStart) ? ClassifyTag(std::string_view(tagStart, n))
                                                   : tkOther;
            if (kind != tkOther && sink.EndsSection(kind)) {
                target.Write(data + runStart, lt - runStart);
                std::memcpy(tag, tagStart, n);
                tag[n] = '\0';
                length = n;
                m_pos = gt + 1;
                return 1;
            }
            if constexpr (TagWatcher<Sink>) {
                if (const std::string* replacement = sink.PassTag(std::string_view(tagStart, n))) {
                    target.Write(data + runStart, lt - runStart);
                    target.Write(replacement->data(), replacement->size());
                    runStart = gt + 1;
                }
            }
            if (sink.StopRequested()) {
                target.Write(data + runStart, gt + 1 - runStart);
                m_pos = gt + 1;
                return 2;
            }
            return 0;
        };

        std::size_t from = m_pos % 64;
        std::size_t base = m_pos - from;
        bool careful = false;
        while (base < len && !careful) {
            tagfinder::Tags tags;
            bool haveTags = false;
            if constexpr (kQuiet) {
                if (roomy && !openKnown && sink.QuietTags() >= 32) {
                    // Blocks in which no tag can be of a kind the splitter acts on (nor, for a
                    // watcher, holds a '=') pass by the first few bytes of their tags, without a
                    // word to the sink, as long as it has room for 32 more tags (the most a block
                    // can end).
                    const std::size_t room = sink.QuietTags();
                    std::size_t passed = 0;
                    bool ended = false;
                    bool inside = openAt != kNone;
                    bool known = false;
                    // The starts of the last block that had any: a tag open after the run
                    // began at the highest of them.
                    std::uint64_t lastStarts = 0;
                    std::size_t lastBase = 0;
                    for (;;) {
                        tags = tagfinder::TagsIn(Blocks::Find(data + base), from, inside);
                        std::uint64_t wanted = tags.Starts & Blocks::Known(data + base);
                        if constexpr (TagWatcher<Sink>) {
                            // The bytes inside tags, from each '<' to its '>': ones from s to e
                            // are 2^(e + 1) - 2^s. A tag still open when the block begins starts
                            // at from; one open when it ends takes the borrow to the top bit.
                            const std::uint64_t first =
                                tags.Starts | (inside ? std::uint64_t{1} << from : 0);
                            wanted |= Blocks::Equals(data + base) & ((tags.Ends << 1) - first);
                        }
                        if (wanted != 0) {
                            known = true;
                            break;
                        }
                        passed += Blocks::Count(tags.Starts);
                        ended |= tags.Ends != 0;
                        lastBase = tags.Starts != 0 ? base : lastBase;
                        lastStarts = tags.Starts != 0 ? tags.Starts : lastStarts;
                        inside = tags.InsideAfter;
                        base += 64;
                        from = 0;
                        if (base >= len || room - passed < 32)
                            break;
                    }
                    sink.PassedQuietly(passed);
                    if (ended)
                        kind = tkOther;
                    if (!inside)
                        openAt = kNone;
                    else if (lastStarts != 0)
                        openAt =
                            lastBase + 63 - static_cast<std::size_t>(std::countl_zero(lastStarts));
                    // A watcher's tag still open is seen to its end: its '=' may lie in a block
                    // before the one with its '>', which alone would pass quietly.
                    if constexpr (TagWatcher<Sink>)
                        openKnown = openAt != kNone;
                    if (!known)
                        continue;
                    haveTags = true;
                }
            }
            if (!haveTags)
                tags = tagfinder::TagsIn(Blocks::Find(data + base), from, openAt != kNone);
            // One tag at a time: a '<' and the '>' after it, the first '>' maybe ending a tag
            // begun in an earlier block.
            std::uint64_t starts = tags.Starts;
            std::uint64_t ends = tags.Ends;
            if (openAt != kNone && ends != 0) {
                const std::size_t gt = base + static_cast<std::size_t>(std::countr_zero(ends));
                ends &= ends - 1;
                if (gt - openAt + 1 >= limit) {
                    careful = true;
                    break;
                }
                const std::size_t lt = openAt;
                openAt = kNone;
                openKnown = false;
                if (const int end = tagRead(lt, gt)) {
                    lastKind = kind;
                    return end == 1 ? ScanEnd::SectionTag : ScanEnd::Stopped;
                }
            }
            while (starts != 0) {
                const std::size_t lt = base + static_cast<std::size_t>(std::countr_zero(starts));
                starts &= starts - 1;
                sink.BeforeTag();
                if (ends == 0) {
                    openAt = lt;
                    // A watcher is not spared a tag whose start it has not looked at.
                    openKnown = TagWatcher<Sink> || tagfinder::MayBeKnown(data + lt);
                    break;
                }
                const std::size_t gt = base + static_cast<std::size_t>(std::countr_zero(ends));
                ends &= ends - 1;
                if (gt - lt + 1 >= limit) {
                    openAt = lt;
                    careful = true;
                    break;
                }
                if (const int end = tagRead(lt, gt)) {
                    lastKind = kind;
                    return end == 1 ? ScanEnd::SectionTag : ScanEnd::Stopped;
                }
            }
            base += 64;
            from = 0;
        }
        if (openAt == kNone) {
            target.Write(data + runStart, len - runStart);
            m_pos = len;
            continue;
        }
        // The tag runs past the buffer (or is too long): read it the careful way.
        target.Write(data + runStart, openAt - runStart);
        m_pos = openAt + 1;
        kind = ReadTag(tag, limit, length);
        lastKind = kind;
        if (sink.EndsSection(kind))
            return ScanEnd::SectionTag;
        const std::string* replacement = nullptr;
        if constexpr (TagWatcher<Sink>)
            replacement = sink.PassTag(std::string_view(tag, length));
        if (replacement)
            target.Write(replacement->data(), replacement->size());
        else
            target.Write(tag, length);
        if (sink.StopRequested())
            return ScanEnd::Stopped;
    }
}
