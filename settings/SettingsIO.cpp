#include "settings/SettingsIO.h"

#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "settings/VersionInfo.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace {

void LoadLevel(SettingsStore& store, const char* name, int& level)
{
    std::int32_t stored = store.ReadInteger(name);
    if (stored > 0)
        level = std::min<std::int32_t>(stored, 3);
    else if (stored < 0)
        level = 0;
    else
        // Nothing stored: the level in force becomes the stored one.
        store.WriteInteger(name, level);
}

void LoadValue(SettingsStore& store, const StoredSetting& setting, SplitSettings& settings)
{
    switch (setting.Kind) {
    case StoredKind::Flag:
        settings.*setting.Flag = store.ReadInteger(setting.Name) != 0;
        break;
    case StoredKind::Level:
        LoadLevel(store, setting.Name, settings.*setting.Level);
        break;
    case StoredKind::LinkText:
        // A link text stored empty does not count: the current text stays.
        if (std::string stored = store.ReadString(setting.Name); !stored.empty())
            settings.*setting.Text = std::move(stored);
        break;
    case StoredKind::Image: {
        // An image stored empty falls back to the image shipped with the program.
        std::string stored = store.ReadString(setting.Name);
        settings.*setting.Text =
            stored.empty() ? LinkImageFolder() + setting.DefaultImage : std::move(stored);
        break;
    }
    case StoredKind::Text:
        settings.*setting.Text = store.ReadString(setting.Name);
        break;
    }
}

void SaveValue(SettingsStore& store, const StoredSetting& setting, const SplitSettings& settings)
{
    switch (setting.Kind) {
    case StoredKind::Flag:
        store.WriteInteger(setting.Name, settings.*setting.Flag ? 1 : 0);
        break;
    case StoredKind::Level:
        store.WriteInteger(setting.Name, settings.*setting.Level);
        break;
    case StoredKind::LinkText:
    case StoredKind::Image:
    case StoredKind::Text:
        store.WriteString(setting.Name, settings.*setting.Text);
        break;
    }
}

} // namespace

void LoadSettings(SplitSettings& settings)
{
    SettingsStore store;
    if (!store.Valid())
        return;
    for (const StoredSetting& setting : StoredSettings())
        LoadValue(store, setting, settings);
}

void SaveSettings(const SplitSettings& settings)
{
    SettingsStore store;
    if (!store.Valid())
        return;
    for (const StoredSetting& setting : StoredSettings())
        SaveValue(store, setting, settings);
}

SplitSettings InitialSettings()
{
    SplitSettings settings = SplitSettings::WhenStoreUnavailable();
    LoadSettings(settings);
    return settings;
}
