#include "settings/SettingsIO.h"

#include "settings/SettingsStore.h"
#include "settings/VersionInfo.h"

#include <algorithm>

namespace {

struct StoredFlag
{
    const char* name;
    bool SplitSettings::*field;
};

// The on/off options beyond the basics, in the order they are stored.
constexpr StoredFlag kLaterFlags[] = {
    {"FixLinks", &SplitSettings::FixLinks},
    {"PageTitles", &SplitSettings::PageTitles},
    {"HeadLinks", &SplitSettings::HeadLinks},
    {"TolerateMissingBodyEnd", &SplitSettings::TolerateMissingBodyEnd},
    {"Manifest", &SplitSettings::Manifest},
};

// A link text stored empty does not count: the current text stays.
void LoadLinkText(SettingsStore& store, const char* name, std::string& text)
{
    std::string stored = store.ReadString(name);
    if (!stored.empty())
        text = stored;
}

// An image stored empty falls back to the image shipped beside the program.
std::string LoadImage(SettingsStore& store, const char* name, const char* defaultFile)
{
    std::string stored = store.ReadString(name);
    return stored.empty() ? ProgramFolder() + defaultFile : stored;
}

} // namespace

void LoadSettings(SplitSettings& settings)
{
    SettingsStore store;
    if (!store.Valid())
        return;

    settings.AddLinks = store.ReadInteger("NoLinks") != 0;
    LoadLinkText(store, "PreviousLinkText", settings.PreviousLinkText);
    LoadLinkText(store, "HomeLinkText", settings.HomeLinkText);
    LoadLinkText(store, "NextLinkText", settings.NextLinkText);

    std::int32_t breakOn = store.ReadInteger("BreakOn");
    if (breakOn > 0)
        settings.BreakOn = std::min<std::int32_t>(breakOn, 3);
    else if (breakOn < 0)
        settings.BreakOn = 0;
    else
        // Nothing stored: the level in force becomes the stored one.
        store.WriteInteger("BreakOn", settings.BreakOn);

    settings.PrevLinkImage = LoadImage(store, "PrevLinkImage", "prev1.gif");
    settings.HomeLinkImage = LoadImage(store, "HomeLinkImage", "home1.gif");
    settings.NextLinkImage = LoadImage(store, "NextLinkImage", "next1.gif");

    settings.UseImages = store.ReadInteger("UseImages") != 0;
    settings.Navigation = store.ReadInteger("Navigation") != 0;
    settings.Breadcrumbs = store.ReadInteger("Breadcrumbs") != 0;
    settings.BreadcrumbsText = store.ReadString("BreadcrumbsText");

    // Added later: a store written before them holds none of these and reads as off / empty.
    for (const auto& [name, field] : kLaterFlags)
        settings.*field = store.ReadInteger(name) != 0;
    settings.OutputFolder = store.ReadString("OutputFolder");
}

void SaveSettings(const SplitSettings& settings)
{
    SettingsStore store;
    if (!store.Valid())
        return;
    store.WriteInteger("NoLinks", settings.AddLinks ? 1 : 0);
    store.WriteString("PreviousLinkText", settings.PreviousLinkText);
    store.WriteString("HomeLinkText", settings.HomeLinkText);
    store.WriteString("NextLinkText", settings.NextLinkText);
    store.WriteInteger("BreakOn", settings.BreakOn);
    store.WriteString("PrevLinkImage", settings.PrevLinkImage);
    store.WriteString("HomeLinkImage", settings.HomeLinkImage);
    store.WriteString("NextLinkImage", settings.NextLinkImage);
    store.WriteInteger("UseImages", settings.UseImages ? 1 : 0);
    store.WriteInteger("Navigation", settings.Navigation ? 1 : 0);
    store.WriteInteger("Breadcrumbs", settings.Breadcrumbs ? 1 : 0);
    store.WriteString("BreadcrumbsText", settings.BreadcrumbsText);
    for (const auto& [name, field] : kLaterFlags)
        store.WriteInteger(name, settings.*field ? 1 : 0);
    store.WriteString("OutputFolder", settings.OutputFolder);
}

SplitSettings InitialSettings()
{
    SplitSettings settings = SplitSettings::WhenStoreUnavailable();
    LoadSettings(settings);
    return settings;
}
