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

    // Values for a user who has nothing stored. programFolder ends with a separator.
    static SplitSettings WhenNothingStored(const std::string& programFolder);
    // Values in force when no settings store can be addressed.
    static SplitSettings WhenStoreUnavailable();

    bool operator==(const SplitSettings&) const = default;
};
