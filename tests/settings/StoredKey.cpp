#include "tests/settings/StoredKey.h"

#include "settings/VersionInfo.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include "settings/KeyFile.h"
#include "tests/common/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#endif

namespace storedkey {

namespace {

std::string KeyPath()
{
    std::optional<VersionInfo> info = ProgramVersionInfo();
    if (!info)
        throw std::runtime_error("the program has no version information");
    return "Software\\" + info->CompanyName + "\\" + info->ProductName;
}

#ifdef _WIN32

// The key opened for reading, or nothing when it does not exist.
class ReadKey
{
public:
    ReadKey()
    {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath().c_str(), 0, KEY_READ, &m_key) !=
            ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~ReadKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    ReadKey(const ReadKey&) = delete;
    ReadKey& operator=(const ReadKey&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

#else

std::filesystem::path File()
{
    std::optional<VersionInfo> info = ProgramVersionInfo();
    std::optional<std::filesystem::path> file =
        info ? KeyFile::Location(info->CompanyName, info->ProductName) : std::nullopt;
    if (!file)
        throw std::runtime_error("no key file for this version information");
    return *file;
}

std::string Section()
{
    return "HKEY_CURRENT_USER\\" + KeyPath();
}

std::optional<KeyFileText> Parsed()
{
    if (!std::filesystem::is_regular_file(File()))
        return std::nullopt;
    return KeyFileText::Parse(testsupport::ReadAll(File()));
}

#endif

} // namespace

#ifdef _WIN32

bool Exists()
{
    return ReadKey().Get() != nullptr;
}

std::optional<RegistryValue> Value(const std::string& name)
{
    ReadKey key;
    DWORD type = 0;
    DWORD size = 0;
    if (!key.Get() ||
        RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        throw std::runtime_error("cannot read the value " + name);
    data.resize(size);
    return RegistryValue{type, data};
}

std::vector<std::string> ValueNames()
{
    ReadKey key;
    std::vector<std::string> names;
    for (DWORD index = 0; key.Get(); ++index) {
        char name[16384];
        DWORD length = sizeof name;
        LONG rc =
            RegEnumValueA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            throw std::runtime_error("cannot list the values");
        names.emplace_back(name, length);
    }
    return names;
}

void Put(const std::string& name, const RegistryValue& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the key");
    LONG rc = RegSetValueExA(key, name.c_str(), 0, value.Type,
                             reinterpret_cast<const BYTE*>(value.Data.data()),
                             static_cast<DWORD>(value.Data.size()));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("cannot store the value " + name);
}

void Remove()
{
    LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, KeyPath().c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot delete the key");
}

#else

bool Exists()
{
    std::optional<KeyFileText> text = Parsed();
    return text && text->HasKey(Section());
}

std::optional<RegistryValue> Value(const std::string& name)
{
    std::optional<KeyFileText> text = Parsed();
    return text ? text->Find(Section(), name) : std::nullopt;
}

std::vector<std::string> ValueNames()
{
    // The value lines of the key's section, read as the store writes them: "Name"=data.
    std::vector<std::string> names;
    if (!std::filesystem::is_regular_file(File()))
        return names;
    std::istringstream text(testsupport::ReadAll(File()));
    bool inKey = false;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("[")) {
            inKey = line == "[" + Section() + "]";
            continue;
        }
        if (!inKey || !line.starts_with("\""))
            continue;
        std::string name;
        std::size_t i = 1;
        for (; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            name += line[i];
        }
        if (i + 1 < line.size() && line[i + 1] == '=' &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

void Put(const std::string& name, const RegistryValue& value)
{
    if (!KeyFile(File(), Section()).Set(name, value))
        throw std::runtime_error("cannot store the value " + name);
}

void Remove()
{
    std::filesystem::remove(File());
}

#endif

} // namespace storedkey
