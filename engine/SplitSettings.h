#pragma once

#include <string>

// The options that govern how documents are cut into pages and linked.
struct SplitSettings
{
    bool AddLinks = false;
    std::string PreviousLinkText = "Previous";
    std::string HomeLinkText = "Home";
    std::string NextLinkText = "Next";
    int BreakOn = 2; // 1..3: deepest heading level that starts a page; 0: none chosen
    std::string PrevLinkImage;
    std::string HomeLinkImage;
    std::string NextLinkImage;
    bool UseImages = false;
    bool Navigation = false;
    bool Breadcrumbs = false;
    std::string BreadcrumbsText;
    // Beyond the basics: all off by default, and stores written before them read as off.
    bool FixLinks = false;               // links to anchors on other pages go to those pages
    bool PageTitles = false;             // each page titled after its split heading
    bool HeadLinks = false;              // prev/next/index <link>s in each page's head
    bool TolerateMissingBodyEnd = false; // a document without </body> ends at its end
    bool Manifest = false;               // DOCpages.json lists the pages written
    bool Sidebar = false;                // every page carries the contents beside its text
    bool Search = false;                 // a search index and script beside the pages
    std::string OutputFolder;            // where the outputs go; empty: beside the source

    // Values for a user who has nothing stored. imageFolder (where the link images are) ends
    // with a separator.
    static SplitSettings WhenNothingStored(const std::string& imageFolder);
    // Values in force when no settings store can be addressed.
    static SplitSettings WhenStoreUnavailable();

    bool operator==(const SplitSettings&) const = default;
};
