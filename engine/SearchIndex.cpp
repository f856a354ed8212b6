#include "engine/SearchIndex.h"

#include "engine/LinkMarkup.h"
#include "engine/SearchMarkup.h"
#include "engine/SearchScript.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

using searchtext::Encoding;
using namespace searchmarkup;

namespace {

constexpr std::size_t kWordRoom = 64;     // code points a word keeps
constexpr std::size_t kHeadingRoom = 200; // code points of a heading shown in a result
constexpr std::size_t kExcerptRoom = 160; // code points of text shown under it

// A word's hash, eight bytes at a time.
std::uint64_t HashWord(const char* p, std::size_t n)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        h = (h ^ v) * 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
        p += 8;
        n -= 8;
    }
    std::uint64_t v = 0;
    std::memcpy(&v, p, n);
    h = (h ^ v) * 0x94d049bb133111ebull;
    return h ^ (h >> 29);
}

} // namespace

SearchIndex::Key SearchIndex::KeyOf(const char* folded, std::size_t length)
{
    Key key;
    key.Length = static_cast<std::uint32_t>(length);
    std::memcpy(&key.Head, folded, std::min<std::size_t>(length, 8));
    if (length > 8)
        std::memcpy(&key.Tail, folded + 8, std::min<std::size_t>(length - 8, 8));
    return key;
}

inline std::uint64_t SearchIndex::KeyHash(const Key& key, const char* folded)
{
    std::uint64_t h =
        (key.Head ^ (key.Tail * 0x9E3779B97F4A7C15ull) ^ key.Length) * 0xbf58476d1ce4e5b9ull;
    if (key.Length > 16) [[unlikely]]
        h ^= HashWord(folded + 16, key.Length - 16);
    return h ^ (h >> 31);
}

[[gnu::always_inline]] inline SearchIndex::Slot&
SearchIndex::Find(const Key& key, const char* folded, std::uint64_t hash)
{
    const std::size_t mask = m_slots.size() - 1;
    // An empty slot's head is zero, a word's never is.
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.Head == key.Head && slot.Tail == key.Tail && slot.Length == key.Length &&
            (key.Length <= 16 || std::memcmp(m_words[slot.Index - 1].Text.data() + 16, folded + 16,
                                             key.Length - 16) == 0))
            return slot;
        if (slot.Index == 0)
            return Insert(i, key, folded);
    }
}

SearchIndex::Slot& SearchIndex::Insert(std::size_t at, const Key& key, const char* folded)
{
    std::string text(key.Length, '\0');
    if (folded) {
        std::memcpy(text.data(), folded, key.Length);
    } else {
        // A short word's key holds its bytes.
        std::memcpy(text.data(), &key.Head, std::min<std::size_t>(key.Length, 8));
        if (key.Length > 8)
            std::memcpy(text.data() + 8, &key.Tail, key.Length - 8);
    }
    m_words.push_back({std::move(text)});
    m_slots[at] = {key.Head, key.Tail, key.Length, static_cast<std::uint32_t>(m_words.size())};
    if (m_words.size() * 2 <= m_slots.size())
        return m_slots[at];
    std::vector<Slot> slots(m_slots.size() * 2);
    const std::size_t mask = slots.size() - 1;
    for (const Slot& slot : m_slots) {
        if (slot.Index == 0)
            continue;
        const Key old{slot.Head, slot.Tail, slot.Length};
        std::size_t i = KeyHash(old, m_words[slot.Index - 1].Text.data()) & mask;
        while (slots[i].Index != 0)
            i = (i + 1) & mask;
        slots[i] = slot;
    }
    m_slots = std::move(slots);
    const char* stored = m_words.back().Text.data();
    return Find(key, stored, KeyHash(key, stored));
}

SearchIndex::SearchIndex(Encoding encoding, std::string_view documentTitle) : m_encoding(encoding)
{
    // The title as plain UTF-8 text, read by the rules of the body.
    if (!documentTitle.empty()) {
        SearchIndex title(encoding, {});
        title.StartPage({});
        title.StartSection({});
        title.m_textRoom = kHeadingRoom;
        title.Feed(documentTitle.data(), documentTitle.size());
        title.Feed(" ", 1);
        m_title = title.m_sections.back().Excerpt;
    }
}

void SearchIndex::EndPage()
{
    // What is left open at the end is taken as it stands.
    if (m_state == State::Reference)
        ReferenceDone();
    if (m_utf8Left > 0) {
        m_utf8Left = 0;
        for (const char c : m_utf8Bytes)
            CodePoint(Windows1252(static_cast<unsigned char>(c)));
        m_utf8Bytes.clear();
    }
    EndWord();
}

void SearchIndex::StartPage(std::string pageHref)
{
    EndPage();
    m_state = State::Text;
    m_tag.clear();
    m_rawMatched = 0;
    m_commentDashes = 0;
    m_anchor.clear();
    m_headingAnchored = false;
    m_excerptOpen = false;
    m_pendingSpace = false;
    m_textRoom = 0;
    m_pageHref = std::move(pageHref);
    m_pageSectionOpen = false;
    m_headingLevel = 0;
}

std::pair<std::size_t, std::size_t> SearchIndex::NotedRange(std::size_t section, bool heading) const
{
    const auto start = [&](std::size_t s) {
        return heading ? m_sections[s].HeadingNoted : m_sections[s].Noted;
    };
    const std::size_t end = section + 1 < m_sections.size() ? start(section + 1)
                            : heading                       ? m_headingNoted.size()
                                                            : m_noted.size();
    return {start(section), end};
}

SearchIndex SearchIndex::Joined(std::vector<SearchIndex>& parts, const std::vector<Run>& runs)
{
    for (SearchIndex& part : parts)
        part.EndPage();
    // Runs that one part read alone are its own sections, in order.
    const auto reader = std::find_if(parts.begin(), parts.end(), [](const SearchIndex& part) {
        return !part.m_sections.empty();
    });
    if (reader == parts.end() || std::all_of(reader + 1, parts.end(), [](const SearchIndex& part) {
            return part.m_sections.empty();
        }))
        return std::move(reader == parts.end() ? parts.front() : *reader);
    SearchIndex whole(parts.front().m_encoding, {});
    whole.m_title = parts.front().m_title;
    // Each part's words get their numbers in the whole.
    std::vector<std::vector<std::uint32_t>> numbers(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (const Word& word : parts[i].m_words) {
            const Key key = KeyOf(word.Text.data(), word.Text.size());
            numbers[i].push_back(
                whole.Find(key, word.Text.data(), KeyHash(key, word.Text.data())).Index - 1);
        }
    }
    // The sections in the document's order, each with the words it noted.
    std::size_t noted = 0, headingNoted = 0;
    for (const SearchIndex& part : parts) {
        noted += part.m_noted.size();
        headingNoted += part.m_headingNoted.size();
    }
    whole.m_noted.reserve(noted);
    whole.m_headingNoted.reserve(headingNoted);
    for (const Run& run : runs) {
        SearchIndex& part = parts[run.Part];
        for (std::size_t s = run.FirstSection; s < run.EndSection; ++s) {
            for (const bool heading : {false, true}) {
                const auto [begin, end] = part.NotedRange(s, heading);
                const std::vector<std::uint32_t>& from =
                    heading ? part.m_headingNoted : part.m_noted;
                std::vector<std::uint32_t>& to = heading ? whole.m_headingNoted : whole.m_noted;
                (heading ? part.m_sections[s].HeadingNoted : part.m_sections[s].Noted) = to.size();
                for (std::size_t i = begin; i < end; ++i)
                    to.push_back(numbers[run.Part][from[i]]);
            }
            // Its lists now start where its words went in the whole.
            whole.m_sections.push_back(std::move(part.m_sections[s]));
        }
    }
    for (SearchIndex& part : parts)
        part = SearchIndex(part.m_encoding, {});
    whole.m_section = static_cast<std::int32_t>(whole.m_sections.size()) - 1;
    return whole;
}

void SearchIndex::StartSection(std::string href)
{
    m_sections.push_back({std::move(href), {}, {}, false, m_noted.size(), m_headingNoted.size()});
    m_section = static_cast<std::int32_t>(m_sections.size()) - 1;
    m_excerptOpen = false;
    m_pageSectionOpen = true;
    m_pendingSpace = false;
    m_textRoom = kExcerptRoom;
}

void SearchIndex::Feed(const char* data, std::size_t count)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    Bytes(p, p + count);
}

const unsigned char* SearchIndex::AsciiText(const unsigned char* p, const unsigned char* end)
{
    // Nearly all of a document is ASCII text between tags: its words are read here, a run at a
    // time, and only the rest goes through the byte-by-byte states.
    while (p < end) {
        // Past a section's heading and excerpt, whole words go straight to the vocabulary.
        if (m_wordBytes == 0 && m_textRoom == 0 && !m_excerptOpen && m_pageSectionOpen &&
            m_anchor.empty()) {
            p = PlainText(p, end);
            // A script or style it met is read by the states.
            if (p == end || m_state != State::Text)
                break;
        }
        const unsigned char kind = kAsciiClass[*p];
        if (kind == kLetter) {
            if (m_wordBytes == 0 && !m_pageSectionOpen)
                StartSection(m_pageHref);
            if (!m_anchor.empty())
                m_anchor.clear();
            const unsigned char* q = p;
            while (q < end && kAsciiClass[*q] == kLetter)
                ++q;
            const std::size_t take =
                std::min(static_cast<std::size_t>(q - p), kWordRoom - m_wordLength);
            for (std::size_t i = 0; i < take; ++i)
                m_word[m_wordBytes + i] = static_cast<char>(p[i] | 0x20);
            m_wordBytes += take;
            m_wordLength += take;
            if (m_textRoom != 0) {
                Letters(p, static_cast<std::size_t>(q - p));
            } else if (m_excerptOpen) {
                m_sections.back().Cut = true;
                m_excerptOpen = false;
            }
            p = q;
        } else if (kind == kOther) {
            EndWord();
            if (m_textRoom != 0)
                Character(*p);
            ++p;
        } else {
            break;
        }
    }
    return p;
}

const unsigned char* SearchIndex::PlainText(const unsigned char* p, const unsigned char* end)
{
    // 64 bytes at a time: bit masks of the letters and of the bytes this loop leaves to the
    // states ('&', non-ASCII, and '<') unless Markup passes over them. The words go to the
    // vocabulary and the tags to TagDone, until a tag changes more than that (a heading, an
    // anchor, a script) or a word may go on where this loop cannot see.
    const unsigned char* base = p;
    unsigned at = 0;                     // bytes of the block done
    const unsigned char* open = nullptr; // a word that goes on into the next block
    while (end - base >= 64) {
        const Masks masks = Classify64(base);
        const std::uint64_t letters = masks.Letters;
        const unsigned char* word = nullptr; // a word that ends at a stop
        bool moved = false;                  // past markup that ends beyond the block
        if (open) {
            if (letters == ~0ull) {
                base += 64;
                continue;
            }
            const unsigned e = std::countr_zero(~letters);
            if (masks.Stops >> e & 1)
                word = open;
            else
                AsciiWord(open, static_cast<std::size_t>(base + e - open), end);
            at = e;
            open = nullptr;
        }
        for (;;) {
            if (!word) {
                const std::uint64_t rest = ~0ull << at;
                const std::uint64_t startsAt = letters & rest;
                const std::uint64_t stopsAt = masks.Stops & rest;
                const unsigned s = startsAt ? std::countr_zero(startsAt) : 64;
                const unsigned t = stopsAt ? std::countr_zero(stopsAt) : 64;
                if (s < t) {
                    // The bits shifted in are no letters, so the run ends by bit 64 at the latest.
                    const unsigned e = s + std::countr_zero(~(letters >> s));
                    if (e == 64) {
                        open = base + s;
                        break;
                    }
                    if (e == t) {
                        word = base + s;
                        at = t;
                        continue;
                    }
                    AsciiWord(base + s, e - s, end);
                    at = e;
                    continue;
                }
                if (t == 64)
                    break;
                at = t;
            }
            bool stay = true;
            const unsigned char* after = Markup(word, base + at, end, stay);
            if (!after)
                return word ? word : base + at;
            if (!stay)
                return after;
            word = nullptr;
            if (after - base >= 64) {
                base = after;
                moved = true;
                break;
            }
            at = static_cast<unsigned>(after - base);
        }
        if (!moved)
            base += 64;
        at = 0;
    }
    return open ? open : base;
}

[[gnu::always_inline]] inline const unsigned char* SearchIndex::Markup(const unsigned char* word,
                                                                       const unsigned char* q,
                                                                       const unsigned char* end,
                                                                       bool& stay)
{
    const unsigned char* after = nullptr;
    std::string_view tag; // one for TagDone
    TagName name;
    if (*q == '&') {
        const std::size_t size = end - q >= 8 ? PunctuationReference(q) : 0;
        if (size == 0)
            return nullptr;
        after = q + size;
    } else if (*q == '<') {
        if constexpr (std::endian::native == std::endian::little) {
            if (end - q >= 16) {
                const SimpleTag simple = ReadSimpleTag(q);
                if (simple.Size != 0) {
                    switch (kTagKinds.Of(simple.Name)) {
                    case TagKind::Inline:
                        // A word that goes on after it is read by the states, whole.
                        if (word && WordGoesOnAfter(q + simple.Size, end))
                            return nullptr;
                        after = q + simple.Size;
                        break;
                    case TagKind::Break:
                        Space();
                        after = q + simple.Size;
                        break;
                    case TagKind::Special:
                        break;
                    }
                }
            }
        }
        if (!after) {
            tag = TagAt(q, end);
            if (tag.empty())
                return nullptr;
            after = q + tag.size();
            name = ReadTagName(tag);
            if (word && KindOfTag(name.View()) == TagKind::Inline &&
                ((!name.End && tag.find('=') != std::string_view::npos) ||
                 WordGoesOnAfter(after, end)))
                return nullptr;
        }
    } else {
        return nullptr;
    }
    if (word)
        AsciiWord(word, static_cast<std::size_t>(q - word), end);
    if (!tag.empty()) {
        TagDone(tag, name.End, name.View());
        stay = m_state == State::Text && m_textRoom == 0 && m_anchor.empty();
    }
    return after;
}

[[gnu::always_inline]] inline void
SearchIndex::AsciiWord(const unsigned char* p, std::size_t length, const unsigned char* end)
{
    // ASCII letters and digits fold to lower case by setting 0x20.
    const std::size_t n = std::min(length, kWordRoom);
    if constexpr (std::endian::native == std::endian::little) {
        if (n <= 16 && end - p >= 16) {
            // A short word's key is its sixteen bytes from where it is, masked.
            std::uint64_t head, tail;
            std::memcpy(&head, p, 8);
            std::memcpy(&tail, p + 8, 8);
            // The bytes of a word of n bytes in its sixteen, from a table: no branch on n.
            static constexpr auto kMasks = [] {
                std::array<std::array<std::uint64_t, 2>, 17> masks{};
                for (std::size_t i = 0; i < masks.size(); ++i) {
                    masks[i][0] = i >= 8 ? ~0ull : (1ull << (8 * i)) - 1;
                    masks[i][1] = i <= 8 ? 0 : i == 16 ? ~0ull : (1ull << (8 * (i - 8))) - 1;
                }
                return masks;
            }();
            const std::uint64_t headMask = kMasks[n][0];
            const std::uint64_t tailMask = kMasks[n][1];
            constexpr std::uint64_t kFold = 0x2020202020202020ull;
            const Key key{(head | kFold) & headMask, (tail | kFold) & tailMask,
                          static_cast<std::uint32_t>(n)};
            NoteWord(key, nullptr, KeyHash(key, nullptr));
            return;
        }
    }
    char folded[kWordRoom];
    for (std::size_t i = 0; i < n; ++i)
        folded[i] = static_cast<char>(p[i] | 0x20);
    const Key key = KeyOf(folded, n);
    NoteWord(key, folded, KeyHash(key, folded));
}

void SearchIndex::Bytes(const unsigned char* p, const unsigned char* end)
{
    while (p < end) {
        if (m_state == State::Text && m_utf8Left == 0) {
            p = AsciiText(p, end);
            if (p == end)
                break;
        }
        const unsigned char b = *p++;
        switch (m_state) {
        case State::Text:
            if (b < 0x80 && m_utf8Left == 0) {
                if (b == '<') {
                    // A tag whose end is at hand is read where it is; whether it ends a word
                    // is known at its end.
                    const std::string_view tag = TagAt(p - 1, end);
                    if (!tag.empty()) {
                        TagDone(tag);
                        p += tag.size() - 1;
                        break;
                    }
                    m_state = State::TagStart;
                } else if (b == '&') {
                    m_reference.assign(1, '&');
                    m_state = State::Reference;
                } else {
                    CodePoint(b);
                }
                break;
            }
            if (m_encoding == Encoding::Latin1) {
                CodePoint(Windows1252(b));
            } else if (m_encoding == Encoding::Other) {
                CodePoint(0xFFFD);
            } else if (m_utf8Left > 0 && b >= 0x80 && b <= 0xBF) {
                m_utf8 = (m_utf8 << 6) | (b & 0x3F);
                m_utf8Bytes += static_cast<char>(b);
                if (--m_utf8Left == 0) {
                    const std::size_t n = m_utf8Bytes.size();
                    const char32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
                    if (m_utf8 < least || m_utf8 > 0x10FFFF ||
                        (m_utf8 >= 0xD800 && m_utf8 <= 0xDFFF)) {
                        for (const char c : m_utf8Bytes)
                            CodePoint(Windows1252(static_cast<unsigned char>(c)));
                    } else {
                        CodePoint(m_utf8);
                    }
                    m_utf8Bytes.clear();
                }
            } else {
                if (m_utf8Left > 0) {
                    // Cut short: its bytes stand for themselves, and this one starts afresh.
                    m_utf8Left = 0;
                    for (const char c : m_utf8Bytes)
                        CodePoint(Windows1252(static_cast<unsigned char>(c)));
                    m_utf8Bytes.clear();
                    --p;
                    break;
                }
                m_utf8Left = b >= 0xC2 && b <= 0xDF   ? 1
                             : b >= 0xE0 && b <= 0xEF ? 2
                             : b >= 0xF0 && b <= 0xF4 ? 3
                                                      : 0;
                if (m_utf8Left == 0) {
                    CodePoint(Windows1252(b));
                } else {
                    m_utf8 = b & (0x3F >> m_utf8Left);
                    m_utf8Bytes.assign(1, static_cast<char>(b));
                }
            }
            break;
        case State::TagStart:
            if (b == '!') {
                m_state = State::Bang;
            } else if (b == '/' || b == '?' || IsAsciiAlnum(b)) {
                m_tag.assign(1, '<');
                m_tag += static_cast<char>(b);
                m_state = State::Tag;
            } else {
                // "a < b": the '<' is text.
                m_state = State::Text;
                CodePoint('<');
                --p;
            }
            break;
        case State::Bang:
        case State::BangDash:
            if (b == '-' && m_state == State::BangDash) {
                m_commentDashes = 0;
                m_state = State::Comment;
            } else if (b == '-') {
                m_state = State::BangDash;
            } else {
                m_tag = "<!";
                m_state = State::Tag;
                --p;
            }
            break;
        case State::Tag: {
            // Up to the '>' at once: tags are many, and only their first bytes matter.
            --p;
            const auto* gt = static_cast<const unsigned char*>(
                std::memchr(p, '>', static_cast<std::size_t>(end - p)));
            const unsigned char* stop = gt ? gt : end;
            const std::size_t room = kTagRoom - std::min(kTagRoom, m_tag.size());
            m_tag.append(reinterpret_cast<const char*>(p),
                         std::min(room, static_cast<std::size_t>(stop - p)));
            p = stop;
            if (gt) {
                ++p;
                m_state = State::Text;
                m_tag += '>';
                TagDone(m_tag);
            }
            break;
        }
        case State::Comment:
            if (b == '>' && m_commentDashes >= 2)
                m_state = State::Text;
            m_commentDashes = b == '-' ? m_commentDashes + 1 : 0;
            break;
        case State::RawText: {
            const unsigned char lower = b >= 'A' && b <= 'Z' ? b + 32 : b;
            if (lower == static_cast<unsigned char>(m_rawEnd[m_rawMatched])) {
                if (++m_rawMatched == m_rawEnd.size()) {
                    m_tag = m_rawEnd;
                    m_state = State::Tag;
                }
            } else {
                m_rawMatched = b == '<' ? 1 : 0;
            }
            break;
        }
        case State::Reference:
            if (b == ';' || (m_reference.size() < 12 &&
                             (IsAsciiAlnum(b) || (b == '#' && m_reference.size() == 1)))) {
                m_reference += static_cast<char>(b);
                if (b == ';')
                    ReferenceDone();
                break;
            }
            ReferenceDone();
            --p;
            break;
        }
    }
}

void SearchIndex::ReferenceDone()
{
    m_state = State::Text;
    const std::string reference = std::move(m_reference);
    char32_t cp = 0;
    const std::size_t length = searchtext::CharacterReferenceAt(reference, 0, cp);
    std::size_t rest = length;
    if (length == 0) {
        CodePoint('&');
        rest = 1;
    } else {
        CodePoint(cp);
    }
    // What followed the '&' without making a reference is text.
    const auto* p = reinterpret_cast<const unsigned char*>(reference.data());
    Bytes(p + rest, p + reference.size());
}

void SearchIndex::CodePoint(char32_t cp)
{
    // A soft hyphen is no character of the text as shown.
    if (cp == 0xAD)
        return;
    if (searchtext::IsWordCodePoint(cp) && !(m_encoding == Encoding::Other && cp >= 0x80)) {
        if (m_wordBytes == 0 && !m_pageSectionOpen)
            StartSection(m_pageHref);
        if (!m_anchor.empty())
            m_anchor.clear();
        if (m_excerptOpen && m_textRoom == 0) {
            m_sections.back().Cut = true;
            m_excerptOpen = false;
        }
        if (m_wordLength < kWordRoom) {
            std::string bytes;
            AppendUtf8(bytes, searchtext::FoldCodePoint(cp));
            std::memcpy(m_word + m_wordBytes, bytes.data(), bytes.size());
            m_wordBytes += bytes.size();
            ++m_wordLength;
        }
    } else {
        EndWord();
    }
    if (m_textRoom != 0)
        Character(cp);
}

void SearchIndex::Character(char32_t cp)
{
    if (!m_pageSectionOpen)
        return;
    if (IsSpace(cp)) {
        Space();
        return;
    }
    if (std::string* text = ShownText()) {
        AppendUtf8(*text, cp == 0 ? 0xFFFD : cp);
        if (--m_textRoom == 0 && m_headingLevel == 0)
            m_excerptOpen = true;
    }
}

void SearchIndex::Letters(const unsigned char* p, std::size_t count)
{
    // Character() for each, at once.
    if (std::string* text = ShownText()) {
        const std::size_t take = std::min(count, m_textRoom);
        text->append(reinterpret_cast<const char*>(p), take);
        m_textRoom -= take;
        if (m_textRoom == 0 && m_headingLevel == 0)
            m_excerptOpen = true;
    }
}

std::string* SearchIndex::ShownText()
{
    if (!m_pageSectionOpen)
        return nullptr;
    Section& section = m_sections.back();
    std::string& text = m_headingLevel != 0 ? section.Heading : section.Excerpt;
    if (m_pendingSpace && !text.empty()) {
        text += ' ';
        if (--m_textRoom == 0)
            return nullptr;
    }
    m_pendingSpace = false;
    return &text;
}

void SearchIndex::Space()
{
    m_pendingSpace = true;
}

void SearchIndex::EndWord()
{
    if (m_wordBytes == 0)
        return;
    const Key key = KeyOf(m_word, m_wordBytes);
    NoteWord(key, m_word, KeyHash(key, m_word));
    m_wordBytes = m_wordLength = 0;
}

[[gnu::always_inline]] inline void SearchIndex::NoteWord(const Key& key, const char* folded,
                                                         std::uint64_t hash)
{
    Slot& slot = Find(key, folded, hash);
    const std::int32_t section = m_section;
    if (slot.Last != section) {
        m_noted.push_back(slot.Index - 1);
        slot.Last = section;
    }
    if (m_headingLevel != 0 && slot.LastHeading != section) {
        m_headingNoted.push_back(slot.Index - 1);
        slot.LastHeading = section;
    }
}

void SearchIndex::TagDone(std::string_view tag)
{
    const TagName name = ReadTagName(tag);
    TagDone(tag, name.End, name.View());
}

void SearchIndex::TagDone(std::string_view tag, bool endTag, std::string_view name)
{
    const int level =
        name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6' ? name[1] - '0' : 0;
    if (!endTag && tag.find('=') != std::string_view::npos) {
        if (TagAnchors(tag, m_anchors) > 0) {
            // An anchor at the start of a heading without one of its own leads to it.
            Section* open = m_headingLevel != 0 && m_pageSectionOpen ? &m_sections.back() : nullptr;
            if (open && !m_headingAnchored && open->Heading.empty() && level == 0) {
                open->Href = m_pageHref + "#" + FragmentHref(m_anchors.front());
                m_headingAnchored = true;
            } else {
                m_anchor = m_anchors.front();
            }
            m_anchors.clear();
        }
    }
    if (KindOfTag(name) == TagKind::Inline)
        return;
    EndWord();
    if (!endTag && (name == "script" || name == "style")) {
        m_rawEnd = "</" + std::string(name);
        m_rawMatched = 0;
        m_state = State::RawText;
    } else if (!endTag && level != 0) {
        // Each heading starts a section that its anchor leads to: its own id, or one defined
        // just before it.
        std::string id = TagId(tag);
        if (id.empty())
            id = std::move(m_anchor);
        m_anchor.clear();
        m_headingAnchored = !id.empty();
        StartSection(id.empty() ? m_pageHref : m_pageHref + "#" + FragmentHref(id));
        m_headingLevel = level;
        m_textRoom = kHeadingRoom;
    } else if (endTag && level != 0 && level == m_headingLevel) {
        m_headingLevel = 0;
        m_pendingSpace = false;
        m_textRoom = kExcerptRoom;
    } else {
        Space();
    }
}

std::string SearchIndex::Script()
{
    EndPage();
    return SearchScript(*this).Text();
}
