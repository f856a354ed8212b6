#pragma once

#include <string>
#include <string_view>

// How output files are named from a source path.
struct PathNames
{
    std::string Stem;      // the path without its extension: output files are named from it
    std::string BaseName;  // the file name without folder and extension: used in links
    std::string Extension; // from the last '.' of the file name, dot included; may be empty
};

// Splits at the last '.' of the file-name part only, so a dot in a folder name never counts
// and a file name without a dot has an empty extension.
PathNames SplitSourcePath(std::string_view path);

// The text after the last path separator ('/' here; '\', '/' and ':' on Windows).
std::string_view FileNamePart(std::string_view path);

// The folder part of a path including its trailing separator; empty when there is none.
std::string_view FolderPart(std::string_view path);

// Page numbers print with at least three digits: 7 gives "007", 1000 gives "1000".
std::string PageNumberText(int pageNumber);

// Whether two file names name the same file in one folder (letter case ignored on Windows).
bool SameFileName(std::string_view a, std::string_view b);

// Whether fileName (without folder) is one of the names a split of the source named by names
// writes: the index, a page, a page's temporary file or the frameset page.
bool IsOutputName(std::string_view fileName, const PathNames& names);
