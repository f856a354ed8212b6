#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzcheck {

// Splits documents drawn from arbitrary bytes inside one private folder and checks what every
// run must leave behind, whatever the document and the settings.
//
// Input layout (every read past the end gives zero, so any input is a run):
//   byte 0  flags: 1 AddLinks, 2 UseImages, 4 Navigation, 8 Breadcrumbs; bits 4-6: BreakOn
//           (value % 5 - 1, so -1..3)
//   byte 1  Previous image (low nibble) and Home image (high nibble), see ImagePath
//   byte 2  Next image (low nibble) and the source's name (high nibble)
//   byte 3  a trap laid in the folder before the run (a link to the source under an output
//           name, a stale page, a folder where a page goes, a pipe or folder as the source)
//   byte 4  the run is stopped at this message pump (0: never)
//   then    Previous, Home, Next and breadcrumb label texts, each a length byte and its bytes;
//           then one such text for each image whose choice is 15; the rest is the document.
class EngineWorkspace
{
public:
    // root must be an existing, empty folder that nothing else uses.
    explicit EngineWorkspace(std::filesystem::path root);

    // Runs one split; returns an empty text when every rule held, else the first broken one.
    std::string Check(std::string_view input);

    const std::filesystem::path& Root() const { return m_root; }
    const std::filesystem::path& Folder() const { return m_folder; }

private:
    void ResetFolder();

    std::filesystem::path m_root;
    std::filesystem::path m_folder;
    std::string m_outsideImage;
};

} // namespace fuzzcheck
