#include "settings/SettingsTable.h"

namespace {

constexpr StoredSetting Flag(const char* name, const char* option, bool SplitSettings::*member)
{
    return {.Name = name, .Option = option, .Kind = StoredKind::Flag, .Flag = member};
}

constexpr StoredSetting Level(const char* name, const char* option, int SplitSettings::*member)
{
    return {.Name = name, .Option = option, .Kind = StoredKind::Level, .Level = member};
}

constexpr StoredSetting LinkText(const char* name, const char* option,
                                 std::string SplitSettings::*member)
{
    return {.Name = name, .Option = option, .Kind = StoredKind::LinkText, .Text = member};
}

constexpr StoredSetting Image(const char* name, const char* option,
                              std::string SplitSettings::*member, const char* defaultImage)
{
    return {.Name = name,
            .Option = option,
            .Kind = StoredKind::Image,
            .Text = member,
            .DefaultImage = defaultImage};
}

constexpr StoredSetting Text(const char* name, const char* option,
                             std::string SplitSettings::*member)
{
    return {.Name = name, .Option = option, .Kind = StoredKind::Text, .Text = member};
}

// In the order of the values in the key file, which must not change.
constexpr StoredSetting kSettings[] = {
    // The name is historic: 1 means link bars on.
    Flag("NoLinks", "links", &SplitSettings::AddLinks),
    LinkText("PreviousLinkText", "prev-text", &SplitSettings::PreviousLinkText),
    LinkText("HomeLinkText", "home-text", &SplitSettings::HomeLinkText),
    LinkText("NextLinkText", "next-text", &SplitSettings::NextLinkText),
    Level("BreakOn", "break-on", &SplitSettings::BreakOn),
    Image("PrevLinkImage", "prev-image", &SplitSettings::PrevLinkImage, "prev1.gif"),
    Image("HomeLinkImage", "home-image", &SplitSettings::HomeLinkImage, "home1.gif"),
    Image("NextLinkImage", "next-image", &SplitSettings::NextLinkImage, "next1.gif"),
    Flag("UseImages", "images", &SplitSettings::UseImages),
    Flag("Navigation", "navigation", &SplitSettings::Navigation),
    Flag("Breadcrumbs", "breadcrumbs", &SplitSettings::Breadcrumbs),
    Text("BreadcrumbsText", "breadcrumbs-text", &SplitSettings::BreadcrumbsText),
    // Added later: a store written before them holds none of these and reads as off / empty.
    Flag("FixLinks", "fix-links", &SplitSettings::FixLinks),
    Flag("PageTitles", "page-titles", &SplitSettings::PageTitles),
    Flag("HeadLinks", "head-links", &SplitSettings::HeadLinks),
    Flag("TolerateMissingBodyEnd", "tolerate-missing-body-end",
         &SplitSettings::TolerateMissingBodyEnd),
    Flag("Manifest", "manifest", &SplitSettings::Manifest),
    Text("OutputFolder", "output-dir", &SplitSettings::OutputFolder),
    Flag("Sidebar", "sidebar", &SplitSettings::Sidebar),
    Flag("Search", "search", &SplitSettings::Search),
};

} // namespace

std::span<const StoredSetting> StoredSettings()
{
    return kSettings;
}
