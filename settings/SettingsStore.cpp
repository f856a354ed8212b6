#include "settings/SettingsStore.h"

#include "settings/VersionInfo.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "settings/KeyFile.h"
#endif

#include <optional>

namespace {

// The key path must fit the registry API's 200-character buffer with its NUL.
constexpr std::size_t MaxKeyPathLength = 199;

constexpr std::uint32_t TypeSz = 1;
constexpr std::uint32_t TypeExpandSz = 2;
constexpr std::uint32_t TypeDword = 4;

// Names and texts go to the registry as C strings, so they end at their first NUL.
std::string CString(const std::string& s)
{
    return s.substr(0, s.find('\0'));
}

std::string TextFromData(std::uint32_t type, const std::string& data)
{
    // Expandable strings are returned as stored: references stay unexpanded.
    if (type != TypeSz && type != TypeExpandSz)
        return {};
    return CString(data);
}

[[maybe_unused]] std::int32_t IntegerFromData(std::uint32_t type, const std::string& data)
{
    // Only a DWORD of at most four bytes; a shorter one fills the low bytes.
    if (type != TypeDword || data.size() > 4)
        return 0;
    std::uint32_t value = 0;
    for (std::size_t i = data.size(); i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(data[i]);
    return static_cast<std::int32_t>(value);
}

#ifdef _WIN32

// The program's key below HKEY_CURRENT_USER, created when missing, open for one access.
class OpenKey
{
public:
    explicit OpenKey(const std::string& path)
    {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &m_key, nullptr) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~OpenKey() { Close(); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }
    bool Close()
    {
        if (!m_key)
            return true;
        LONG rc = RegCloseKey(m_key);
        m_key = nullptr;
        return rc == ERROR_SUCCESS;
    }

private:
    HKEY m_key = nullptr;
};

struct RawValue
{
    std::uint32_t Type = 0;
    std::string Data;
};

std::optional<RawValue> QueryValue(const std::string& keyPath, const std::string& name)
{
    OpenKey key(keyPath);
    if (!key)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    if (!key.Close())
        return std::nullopt;
    return RawValue{type, data};
}

bool SetValue(const std::string& keyPath, const std::string& name, DWORD type, const BYTE* data,
              DWORD size)
{
    OpenKey key(keyPath);
    if (!key)
        return false;
    if (RegSetValueExA(key.Get(), name.c_str(), 0, type, data, size) != ERROR_SUCCESS)
        return false;
    return key.Close();
}

#endif

} // namespace

SettingsStore::SettingsStore()
{
    try {
        std::optional<VersionInfo> info = ProgramVersionInfo();
        if (!info)
            return;
        std::string keyPath = "Software\\" + info->CompanyName + "\\" + info->ProductName;
        if (keyPath.size() > MaxKeyPathLength)
            return;
#ifndef _WIN32
        if (auto file = KeyFile::Location(info->CompanyName, info->ProductName))
            m_filePath = file->string();
#endif
        m_keyPath = std::move(keyPath);
        m_valid = true;
    } catch (...) {
        m_keyPath.clear();
        m_valid = false;
    }
}

#ifdef _WIN32

bool SettingsStore::WriteString(const std::string& name, const std::string& text)
{
    if (!m_valid)
        return false;
    try {
        std::string data = CString(text);
        if (data.size() >= MAXDWORD)
            return false;
        // The terminating NUL is stored with the text.
        return SetValue(m_keyPath, CString(name), REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
    } catch (...) {
        return false;
    }
}

bool SettingsStore::WriteInteger(const std::string& name, std::int32_t value)
{
    if (!m_valid)
        return false;
    try {
        DWORD data = static_cast<DWORD>(value);
        return SetValue(m_keyPath, CString(name), REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data);
    } catch (...) {
        return false;
    }
}

std::string SettingsStore::ReadString(const std::string& name)
{
    if (!m_valid)
        return {};
    try {
        std::optional<RawValue> value = QueryValue(m_keyPath, CString(name));
        return value ? TextFromData(value->Type, value->Data) : std::string();
    } catch (...) {
        return {};
    }
}

std::int32_t SettingsStore::ReadInteger(const std::string& name)
{
    if (!m_valid)
        return 0;
    try {
        OpenKey key(m_keyPath);
        if (!key)
            return 0;
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        // Larger data fails with ERROR_MORE_DATA and so reads as 0.
        if (RegQueryValueExA(key.Get(), CString(name).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
            type != REG_DWORD || !key.Close())
            return 0;
        return static_cast<std::int32_t>(data);
    } catch (...) {
        return 0;
    }
}

#else

namespace {

std::string SectionName(const std::string& keyPath)
{
    return "HKEY_CURRENT_USER\\" + keyPath;
}

} // namespace

bool SettingsStore::WriteString(const std::string& name, const std::string& text)
{
    if (!m_valid || m_filePath.empty())
        return false;
    try {
        return KeyFile(m_filePath, SectionName(m_keyPath))
            .Set(CString(name), RegistryValue::String(CString(text)));
    } catch (...) {
        return false;
    }
}

bool SettingsStore::WriteInteger(const std::string& name, std::int32_t value)
{
    if (!m_valid || m_filePath.empty())
        return false;
    try {
        return KeyFile(m_filePath, SectionName(m_keyPath))
            .Set(CString(name), RegistryValue::Dword(static_cast<std::uint32_t>(value)));
    } catch (...) {
        return false;
    }
}

std::string SettingsStore::ReadString(const std::string& name)
{
    if (!m_valid || m_filePath.empty())
        return {};
    try {
        std::optional<RegistryValue> value =
            KeyFile(m_filePath, SectionName(m_keyPath)).Query(CString(name));
        return value ? TextFromData(value->Type, value->Data) : std::string();
    } catch (...) {
        return {};
    }
}

std::int32_t SettingsStore::ReadInteger(const std::string& name)
{
    if (!m_valid || m_filePath.empty())
        return 0;
    try {
        std::optional<RegistryValue> value =
            KeyFile(m_filePath, SectionName(m_keyPath)).Query(CString(name));
        return value ? IntegerFromData(value->Type, value->Data) : 0;
    } catch (...) {
        return 0;
    }
}

#endif
