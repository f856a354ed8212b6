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
//           (value % 5 - 1, so -1..3); 128: an output folder (see below)
//   byte 1  Previous image (low nibble) and Home image (high nibble), see ImagePath
//   byte 2  Next image (low nibble) and the source's name (high nibble)
//   byte 3  bits 0-2: a trap laid where the pages go before the run (a link to the source
//           under an output name, a stale page, a folder where a page goes, a pipe or folder as
//           the source); then 8 FixLinks, 16 PageTitles, 32 HeadLinks, 64 TolerateMissingBodyEnd,
//           128 Manifest
//   byte 4  the run is stopped at this message pump (0: never)
//   then    Previous, Home, Next and breadcrumb label texts, each a length byte and its bytes;
//           then one such text for each image whose choice is 15; with an output folder one
//           byte (value % 4): 0 "out" beside the working folder, 1 the same as a relative path,
//           2 two new folders below it, 3 a file in its place; the rest is the document.
//
// With FixLinks, PageTitles, HeadLinks or TolerateMissingBodyEnd the input is split a second
// time without them, and both runs must end alike (a tolerated missing end of body: the plain
// run fails there and this one splits with one more page). With Manifest a stale manifest lies
// where the pages go.
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
    struct Plan;
    struct Ending;
    void ResetFolder();
    std::string Run(const Plan& plan, Ending& ending);

    std::filesystem::path m_root;
    std::filesystem::path m_folder;
    std::filesystem::path m_output;
    std::string m_outsideImage;
};

} // namespace fuzzcheck
