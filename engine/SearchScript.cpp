#include "engine/SearchScript.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <future>
#include <system_error>
#include <vector>

namespace {

void AppendJson(std::string& out, std::string_view text)
{
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            // Line and paragraph separators end a line in older script engines.
            out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

} // namespace

std::array<std::string, 4> SearchScript::Parts() const
{
    // The sections' texts are written on a thread of their own while the words' lists are
    // made: both take tens of milliseconds for a long document, and the pages wait for them.
    const auto write = [this] { return SectionsJson(); };
    std::future<std::string> sections;
    try {
        sections = std::async(
            m_index.m_sections.size() >= 1000 ? std::launch::async : std::launch::deferred, write);
    } catch (const std::system_error&) {
        // No thread to be had: written after the words instead.
        sections = std::async(std::launch::deferred, write);
    }
    std::string words = WordsJson();
    std::string head = "quirefoldSearchIndex({\"v\": 1, \"asciiOnly\": ";
    head += m_index.m_encoding == searchtext::Encoding::Other ? "true" : "false";
    head += ",\n\"sections\": [";
    return {std::move(head), sections.get(), std::move(words), "\n}});\n"};
}

std::string SearchScript::Text() const
{
    const std::array<std::string, 4> parts = Parts();
    std::string out;
    out.reserve(parts[0].size() + parts[1].size() + parts[2].size() + parts[3].size());
    for (const std::string& part : parts)
        out += part;
    return out;
}

std::string SearchScript::SectionsJson() const
{
    std::size_t size = 0;
    for (const SearchIndex::Section& section : m_index.m_sections)
        size += 2 * (section.Href.size() + section.Heading.size() + section.Excerpt.size()) + 24;
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < m_index.m_sections.size(); ++i) {
        const SearchIndex::Section& section = m_index.m_sections[i];
        out += i == 0 ? "\n[" : ",\n[";
        AppendJson(out, section.Href);
        out += ", ";
        AppendJson(out, section.Heading.empty() ? m_index.m_title : section.Heading);
        out += ", ";
        if (section.Cut) {
            // Cut at a word's end, and said to be cut.
            std::string excerpt = section.Excerpt;
            const std::size_t space = excerpt.rfind(' ');
            if (space != std::string::npos && space > excerpt.size() / 2)
                excerpt.resize(space);
            AppendJson(out, excerpt + " \u2026");
        } else {
            AppendJson(out, section.Excerpt);
        }
        out += ']';
    }
    return out;
}

std::string SearchScript::WordsJson() const
{
    // Each word's sections, from the words each section noted.
    const auto invert = [&](const std::vector<std::uint32_t>& noted, bool heading,
                            std::vector<std::uint32_t>& starts) {
        starts.assign(m_index.m_words.size() + 1, 0);
        for (const std::uint32_t word : noted)
            ++starts[word + 1];
        for (std::size_t w = 0; w < m_index.m_words.size(); ++w)
            starts[w + 1] += starts[w];
        std::vector<std::uint32_t> sections(noted.size());
        std::vector<std::uint32_t> at(starts.begin(), starts.end() - 1);
        for (std::size_t s = 0; s < m_index.m_sections.size(); ++s) {
            const auto [begin, end] = m_index.NotedRange(s, heading);
            for (std::size_t i = begin; i < end; ++i)
                sections[at[noted[i]]++] = static_cast<std::uint32_t>(s);
        }
        return sections;
    };
    std::vector<std::uint32_t> bodyStarts, headingStarts;
    const std::vector<std::uint32_t> body = invert(m_index.m_noted, false, bodyStarts);
    const std::vector<std::uint32_t> headings = invert(m_index.m_headingNoted, true, headingStarts);
    std::size_t size = 100;
    for (const SearchIndex::Word& word : m_index.m_words)
        size += 2 * (2 * word.Text.size() + 12);
    // A difference of sections takes at most as many base-36 digits as the last section.
    std::size_t digits = 1;
    for (std::size_t n = m_index.m_sections.size(); n >= 36; n /= 36)
        ++digits;
    size += (digits + 1) * (body.size() + headings.size());
    std::string out;
    out.reserve(size);
    std::vector<std::uint32_t> words(m_index.m_words.size());
    for (std::size_t w = 0; w < words.size(); ++w)
        words[w] = static_cast<std::uint32_t>(w);
    std::sort(words.begin(), words.end(), [&](std::uint32_t a, std::uint32_t b) {
        return m_index.m_words[a].Text < m_index.m_words[b].Text;
    });
    for (const bool inHeadings : {false, true}) {
        out += inHeadings ? "},\n\"headingWords\": {" : "\n],\n\"words\": {";
        const std::vector<std::uint32_t>& sections = inHeadings ? headings : body;
        const std::vector<std::uint32_t>& starts = inHeadings ? headingStarts : bodyStarts;
        bool first = true;
        for (const std::uint32_t w : words) {
            if (starts[w] == starts[w + 1])
                continue;
            out += first ? "\n" : ",\n";
            first = false;
            AppendJson(out, m_index.m_words[w].Text);
            out += ": \"";
            // Base-36 differences, written in place.
            const std::size_t at = out.size();
            out.resize(at + (digits + 1) * (starts[w + 1] - starts[w]));
            char* to = out.data() + at;
            std::uint32_t last = 0;
            for (std::uint32_t i = starts[w]; i < starts[w + 1]; ++i) {
                if (i != starts[w])
                    *to++ = ',';
                std::uint32_t value = sections[i] - last;
                last = sections[i];
                char reversed[8];
                int n = 0;
                do {
                    reversed[n++] = "0123456789abcdefghijklmnopqrstuvwxyz"[value % 36];
                    value /= 36;
                } while (value != 0);
                while (n > 0)
                    *to++ = reversed[--n];
            }
            out.resize(static_cast<std::size_t>(to - out.data()));
            out += '"';
        }
    }
    return out;
}
