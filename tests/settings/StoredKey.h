#pragma once

#include "settings/KeyFileText.h"

#include <optional>
#include <string>
#include <vector>

// The program's key as it is kept (the registry below HKEY_CURRENT_USER on Windows, the key
// file elsewhere), read and written past SettingsStore so that tests see what the store
// really left behind and can plant values of any type. The key is named from the current
// version information; none of these create the key unless they write.
namespace storedkey {

bool Exists();
// Nothing when the key or the value is missing.
std::optional<RegistryValue> Value(const std::string& name);
std::vector<std::string> ValueNames();
// Creates the key when missing; throws when the value cannot be stored.
void Put(const std::string& name, const RegistryValue& value);
// Deletes the key with everything in it.
void Remove();

} // namespace storedkey
