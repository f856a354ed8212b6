#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What to generate: the exact size in bytes, the number of split headings (H1 and H2)
// and the seed that makes the text repeatable.
struct DocumentSpec
{
    std::uint64_t Size = 0;
    int Sections = 0;
    std::uint64_t Seed = 1;
    // Every split heading carries the one anchor "sN" of its section (an id, or an <a name>
    // inside it) and every section links once to another section's anchor; no other anchors
    // or links. Off keeps the documents as they always were.
    bool CrossLinks = false;
};

struct DocumentStats
{
    std::uint64_t Bytes = 0;
    int H1 = 0;
    int H2 = 0;
    int H3 = 0;
};

// Writes a synthetic but realistic HTML document: a head with a sizeable style sheet,
// then sections that each open with an H1 or H2 at the start of a line and hold
// paragraphs with inline markup, H3 subheadings, lists, tables, code and comments.
// The same spec always gives the same bytes.
class DocumentGenerator
{
public:
    using Sink = std::function<void(std::string_view)>;

    // Throws std::invalid_argument when the size leaves too little room per section.
    explicit DocumentGenerator(DocumentSpec spec);

    DocumentStats Write(const Sink& sink);

    // Smallest size that gives every section room for its heading and some text.
    static std::uint64_t MinimumSize(int sections);

private:
    std::uint64_t Next();
    int Between(int low, int high); // inclusive
    std::string_view Word();

    void AppendHead(std::string& out);
    void AppendHeading(std::string& out, int level, int number);
    void AppendCrossLink(std::string& out, int number);
    void AppendText(std::string& out, std::size_t words, bool inlineMarkup);
    void AppendExactText(std::string& out, std::size_t bytes);
    void AppendBlock(std::string& out);
    void AppendParagraph(std::string& out);
    void AppendList(std::string& out);
    void AppendTable(std::string& out);
    void AppendCode(std::string& out);
    void AppendComment(std::string& out);
    void Flush(std::string& out, const Sink& sink, bool force);

    DocumentSpec m_spec;
    std::uint64_t m_state;
    std::size_t m_column = 0;
    DocumentStats m_stats;
};

// Parses "256M", "16MiB", "4096", "1G", "64K" (binary units). False on anything else.
bool ParseByteSize(std::string_view text, std::uint64_t& bytes);
