#pragma once

#include "engine/HTMLFile.h"
#include "engine/SearchIndexer.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One page's section as the body scan hands it over. Text and tags that are still in the
// source's reading ring stay there, referred to, until the page is written, so that they go
// from the document to the page without another copy; bytes from elsewhere (the heading, a
// rewritten link, a tag read the careful way) are copied. When the ring needs the room back,
// or the copied bytes grow large, the section so far goes to its temporary file, and the page
// takes it from there.
class SectionWriter final : public RingKeeper
{
public:
    // ring: the source's reading ring. The temporary file is made only when something goes to
    // it, but whatever stands under its name is replaced at once (HTMLFile's deferred writer).
    SectionWriter(const std::string& tempPath, std::string_view ring, const FileIdentity* keepOff);

    // Every byte written also goes to index, when given.
    void SetIndex(SearchIndexer* index) { m_index = index; }

    // A scan's target.
    void Write(const char* data, std::size_t count);
    void WriteText(std::string_view text) { Write(text.data(), text.size()); }

    // Whether part of the section went to the temporary file.
    bool Spilled() const { return m_spilled; }
    // The section's bytes still in memory, in order, appended to out; valid until the next
    // Write or Spill.
    void Parts(std::vector<std::string_view>& out) const;
    // Everything still in memory to the temporary file, which is then closed.
    void CloseTemporary();
    // Closes the temporary file unwritten (its content was taken, or the run failed), and
    // removes it where it was made.
    void RemoveTemporary();

    const char* KeptFrom() const override;
    void Spill() override;

private:
    // Bytes of the ring (Ring set) or of m_owned from Offset.
    struct Piece
    {
        const char* Ring;
        std::size_t Offset;
        std::size_t Length;
    };

    HTMLFile m_temp;
    std::string_view m_ring;
    std::vector<Piece> m_pieces;
    std::string m_owned;
    bool m_spilled = false;
    SearchIndexer* m_index = nullptr;
};
