#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzcheck {

// Builds one piece of page markup (a navigation block, an index entry or a frameset page)
// from arbitrary settings, texts and page numbers, and checks its length against one worked
// out from the templates' parts; nothing may be cut, and link images copied for page 1 may
// land only in the folder.
//
// Input layout: byte 0 picks the piece, byte 1 the flags, then three 16-bit page numbers,
// then texts (length byte and bytes): base name, extension, the three link texts, the label,
// the three image paths, the three trail headings and the heading of an index entry.
class MarkupWorkspace
{
public:
    // root must be an existing, empty folder that nothing else uses.
    explicit MarkupWorkspace(std::filesystem::path root);
    std::string Check(std::string_view input);

private:
    std::filesystem::path m_root;
    std::filesystem::path m_folder;
};

// Bytes of "%03d" of a page number >= 0.
std::size_t PageDigits(long pageNumber);

} // namespace fuzzcheck
