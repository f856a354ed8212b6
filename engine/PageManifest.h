#pragma once

#include <string>
#include <string_view>
#include <vector>

// One page of a split as the manifest lists it.
struct ManifestPage
{
    std::string File;                 // the page's file name, without folder
    int Level = 0;                    // its split heading's level (1..3); 0: it has none
    std::string Heading;              // HeadingText of that heading, entities decoded
    std::vector<std::string> Anchors; // the anchors the page holds, in order, entities decoded
};

// The manifest as JSON: {"source": ..., "index": ..., "pages": [{"file": ..., "level": ...,
// "heading": ..., "anchors": [...]}, ...]}, with "level" and "heading" null for a page without
// a split heading. Strings are valid UTF-8 whatever the document's bytes: a byte that is not
// part of a valid UTF-8 sequence is taken as Latin-1. Ends with a line feed.
// files: further files written beside the pages (such as the sidebar's style sheet), listed as
// "files": [...] after "index"; no such key when there are none.
std::string ManifestJson(std::string_view sourceFileName, std::string_view indexFileName,
                         const std::vector<ManifestPage>& pages,
                         const std::vector<std::string>& files = {});
