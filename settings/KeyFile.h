#pragma once

#include "settings/KeyFileText.h"

#include <filesystem>
#include <optional>
#include <string>

// One registry key kept in a key file (REGEDIT4 text) where there is no registry. Every access
// locks the file against other processes (flock on "<file>.lock" beside it), reads it, and a
// write replaces it atomically, so a crash leaves either the old or the new file. Both the
// file and the folders created for it are readable by their owner only.
class KeyFile
{
public:
    // key: the section name, e.g. "HKEY_CURRENT_USER\Software\Company\Product".
    KeyFile(std::filesystem::path file, std::string key);

    // $XDG_CONFIG_HOME/<company>/<product>.reg (default ~/.config); nothing when the names do
    // not make a file name or no home folder is known.
    static std::optional<std::filesystem::path> Location(const std::string& company,
                                                         const std::string& product);

    // Opens the key, creating the file or the key's section when missing (as opening a
    // registry key does), and returns the value; nothing when it is missing or access failed.
    std::optional<RegistryValue> Query(const std::string& name) const;
    // Stores the value, keeping every other line of the file. False when nothing was stored.
    bool Set(const std::string& name, const RegistryValue& value) const;

    const std::filesystem::path& Path() const { return m_file; }
    const std::string& Key() const { return m_key; }

private:
    std::filesystem::path m_file;
    std::string m_key;
};
