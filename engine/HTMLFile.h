#pragma once

#include "engine/TagFinder.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

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

// Which file an open handle is (device and file number), whatever name it was opened by.
struct FileIdentity
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool Known = false;
    bool operator==(const FileIdentity&) const = default;
};

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
    HTMLFile(const std::string& name, bool forReading, const FileIdentity* keepOff = nullptr);
    // A writer that buffers into memory lent by the caller (which must outlive it), so that
    // whatever fits there can be taken back without reading the file.
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
    // Appends the whole remaining content of source.
    void AppendFrom(HTMLFile& source);
    // Writes out the buffer and closes the file, reporting a failure.
    void Close();
    // Whether everything written so far is still in the buffer (nothing went to the file).
    bool AllBuffered() const { return !m_flushed; }
    std::string_view Buffered() const { return {m_data, m_forReading ? 0 : m_pos}; }
    // Closes the file without writing out the buffer: its content was taken elsewhere and the
    // file is about to be deleted.
    void Discard();
    // Whether the file was made on disk (a deferred writer may never need it).
    bool OnDisk() const { return m_onDisk; }

private:
    bool Fill();
    void Create();
    void WriteSlow(const char* data, std::size_t count);
    void WriteThrough(const char* data, std::size_t count);
    void Flush();
    void CloseHandle() noexcept;

    std::string m_name;
    bool m_forReading;
    const FileIdentity* m_keepOff = nullptr;
    std::intptr_t m_handle = -1;
    std::unique_ptr<char[]> m_owned;
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
    bool m_flushed = false;
    bool m_deferred = false; // writer: the file is not made yet
    bool m_onDisk = false;
    std::size_t m_pos = 0;   // reading: next byte; writing: bytes buffered
    std::size_t m_len = 0;   // reading: bytes valid in the buffer
    std::size_t m_first = 0; // reading: first buffer index holding a byte already read
    std::string m_header;
};

template <TagSink Sink, typename Target>
ScanEnd HTMLFile::ScanBody(Target& target, char* tag, std::size_t limit, std::size_t& length,
                           TTagKind& lastKind, Sink& sink)
{
    for (;;) {
        if (m_pos == m_len && !Fill())
            return ScanEnd::EndOfFile;
        // Text and ordinary tags pass through as one run of bytes straight from the buffer.
        TagFinder finder(m_data, m_len);
        std::size_t runStart = m_pos;
        std::size_t p = m_pos;
        for (;;) {
            const std::size_t lt = finder.FindOpen(p);
            if (lt == m_len) {
                target.Write(m_data + runStart, m_len - runStart);
                m_pos = m_len;
                break;
            }
            sink.BeforeTag();
            const std::size_t gt = finder.FindClose(lt);
            if (gt == m_len || gt - lt + 1 >= limit) {
                // The tag runs past the buffer (or is too long): read it the careful way.
                target.Write(m_data + runStart, lt - runStart);
                m_pos = lt + 1;
                lastKind = ReadTag(tag, limit, length);
                const bool ends = sink.EndsSection(lastKind);
                if (ends)
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
                break;
            }
            const std::size_t n = gt - lt + 1;
            const char* tagStart = m_data + lt;
            // Most tags are told apart by their second (or, closing, third) byte alone.
            const unsigned char second = static_cast<unsigned char>(tagStart[1]) | 0x20;
            const unsigned char third = static_cast<unsigned char>(tagStart[2]) | 0x20;
            const bool candidate =
                second == 'b' || second == 'h' || (second == '/' && (third == 'b' || third == 'h'));
            lastKind = candidate ? ClassifyTag(std::string_view(tagStart, n)) : tkOther;
            if (lastKind != tkOther && sink.EndsSection(lastKind)) {
                target.Write(m_data + runStart, lt - runStart);
                std::memcpy(tag, tagStart, n);
                tag[n] = '\0';
                length = n;
                m_pos = gt + 1;
                return ScanEnd::SectionTag;
            }
            p = gt + 1;
            if constexpr (TagWatcher<Sink>) {
                if (const std::string* replacement = sink.PassTag(std::string_view(tagStart, n))) {
                    target.Write(m_data + runStart, lt - runStart);
                    target.Write(replacement->data(), replacement->size());
                    runStart = p;
                }
            }
            if (sink.StopRequested()) {
                target.Write(m_data + runStart, p - runStart);
                m_pos = p;
                return ScanEnd::Stopped;
            }
        }
    }
}
