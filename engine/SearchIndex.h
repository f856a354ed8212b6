#pragma once

#include "engine/SearchText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The search index of a split, built from the pages' markup as it streams by: every heading
// starts a section (the part of a page before its first heading is one too), and each word
// of the text as a browser shows it (tags dropped, references decoded, scripts and styles
// left out) notes the sections it occurs in. Memory grows with the vocabulary and the
// sections, not with the document.
class SearchIndex
{
public:
    // documentTitle: what the search shows for a section without a heading of its own, in the
    // document's bytes.
    SearchIndex(searchtext::Encoding encoding, std::string_view documentTitle);

    // A page begins; pageHref is its name made safe for an href. A page is read afresh, as a
    // browser reads it: nothing open at the end of the last one carries over.
    void StartPage(std::string pageHref);
    // The next bytes of the page's body, in pieces of any size.
    void Feed(const char* data, std::size_t count);

    // The index file: one call of quirefoldSearchIndex({...}) in UTF-8.
    std::string Script();
    std::size_t Sections() const { return m_sections.size(); }
    std::size_t Words() const { return m_words.size(); }
    // The document's title as plain UTF-8 text.
    const std::string& Title() const { return m_title; }

    // A run of whole pages that one part read: the part, and the part's sections it made.
    struct Run
    {
        std::size_t Part = 0;
        std::size_t FirstSection = 0;
        std::size_t EndSection = 0;
    };
    // The index of the whole document from parts that each read some of its runs of pages;
    // runs in the document's order. The parts are used up.
    static SearchIndex Joined(std::vector<SearchIndex>& parts, const std::vector<Run>& runs);

private:
    // Writes the index out from its sections and lists.
    friend class SearchScript;

    enum class State : std::uint8_t
    {
        Text,
        TagStart,  // just after '<'
        Bang,      // "<!"
        BangDash,  // "<!-"
        Tag,       // to the first '>'
        Comment,   // to "-->"
        RawText,   // script or style, to its end tag
        Reference, // after '&'
    };

    struct Section
    {
        std::string Href;
        std::string Heading;
        std::string Excerpt;
        bool Cut = false; // the excerpt stops before the text does
        // Where its words begin in m_noted and m_headingNoted.
        std::size_t Noted = 0;
        std::size_t HeadingNoted = 0;
    };

    struct Word
    {
        std::string Text; // folded
    };
    // The vocabulary's table, open addressing, half full at most. A word is known by its first
    // sixteen folded bytes and its length, so most lookups compare two numbers; the slot also
    // holds what each word read is compared with, so that is one cache line.
    struct Key
    {
        std::uint64_t Head = 0;
        std::uint64_t Tail = 0;
        std::uint32_t Length = 0;
    };
    struct Slot
    {
        std::uint64_t Head = 0;
        std::uint64_t Tail = 0;
        std::uint32_t Length = 0;
        std::uint32_t Index = 0; // in m_words, plus one; 0: empty
        std::int32_t Last = -1;  // the last section noted, in the body and in a heading
        std::int32_t LastHeading = -1;
    };

    void Bytes(const unsigned char* p, const unsigned char* end);
    void CodePoint(char32_t cp);
    const unsigned char* AsciiText(const unsigned char* p, const unsigned char* end);
    void EndWord();
    void EndPage();
    const unsigned char* PlainText(const unsigned char* p, const unsigned char* end);
    void AsciiWord(const unsigned char* p, std::size_t length, const unsigned char* end);
    void NoteWord(const Key& key, const char* folded, std::uint64_t hash);
    void TagDone(std::string_view tag); // from '<' to '>'
    // name: lower case; empty when longer than any looked for.
    void TagDone(std::string_view tag, bool endTag, std::string_view name);
    // At a '<', '&' or non-ASCII byte q in plain text, with the word that ends there if any:
    // passes over a tag or reference that PlainText can read, noting the word. Returns where
    // the text goes on, with stay false where the states must take over; null where they
    // must take over at the word or at q.
    const unsigned char* Markup(const unsigned char* word, const unsigned char* q,
                                const unsigned char* end, bool& stay);
    void StartSection(std::string href);
    void Character(char32_t cp);                             // text for the heading or excerpt
    void Letters(const unsigned char* p, std::size_t count); // ASCII letters and digits
    std::string* ShownText(); // where they go: null when nothing more is shown
    void Space();
    void ReferenceDone();
    // folded: the word's bytes; may be null for a word of sixteen bytes or fewer.
    Slot& Find(const Key& key, const char* folded, std::uint64_t hash);
    Slot& Insert(std::size_t at, const Key& key, const char* folded);
    static Key KeyOf(const char* folded, std::size_t length);
    // Where section's words are in m_noted (or m_headingNoted): from first to second.
    std::pair<std::size_t, std::size_t> NotedRange(std::size_t section, bool heading) const;
    static std::uint64_t KeyHash(const Key& key, const char* folded);

    searchtext::Encoding m_encoding;
    std::string m_title;
    std::string m_pageHref;
    bool m_pageSectionOpen = false; // the page's text so far belongs to a section

    State m_state = State::Text;
    std::string m_tag;    // the first bytes of a tag read in pieces
    std::string m_rawEnd; // "</script" or "</style" while in raw text
    std::size_t m_rawMatched = 0;
    int m_commentDashes = 0;
    std::string m_reference; // "&..." so far
    char32_t m_utf8 = 0;     // a UTF-8 sequence being read
    int m_utf8Left = 0;
    std::string m_utf8Bytes; // its bytes, taken as windows-1252 when it turns out invalid

    // The word being read: folded, UTF-8, with its hash so far.
    static constexpr std::size_t kWordBytes = 64 * 4;
    char m_word[kWordBytes];
    std::size_t m_wordBytes = 0;
    std::size_t m_wordLength = 0; // in code points
    int m_headingLevel = 0;       // inside <hN>
    // An anchor defined since the last word ("<span id=x></span><h2>"), which a heading without
    // one of its own takes; and whether the open heading has one.
    std::string m_anchor;
    bool m_headingAnchored = false;
    std::vector<std::string> m_anchors; // scratch
    bool m_excerptOpen = false;         // the excerpt is full, but the text may go on
    bool m_pendingSpace = false;
    std::size_t m_textRoom = 0; // code points the heading or excerpt still takes

    std::vector<Section> m_sections;
    std::int32_t m_section = -1; // the last, which words read go to
    std::vector<Word> m_words;
    // The words each section has, by section, each once: in its text and in its heading.
    // Appended as they are met, which is far cheaper than a list per word; Script inverts them.
    std::vector<std::uint32_t> m_noted;
    std::vector<std::uint32_t> m_headingNoted;
    std::vector<Slot> m_slots = std::vector<Slot>(1024);
};
