#pragma once

#include <cstdint>
#include <string>

// Reads or writes one stored value at a time under the program's own key. Every failure
// gives the empty text, 0 or false; nothing is ever reported otherwise.
class SettingsStore
{
public:
    SettingsStore();

    bool Valid() const { return m_valid; }
    // "Software\<CompanyName>\<ProductName>"
    const std::string& KeyPath() const { return m_keyPath; }

    bool WriteString(const std::string& name, const std::string& text);
    bool WriteInteger(const std::string& name, std::int32_t value);
    std::string ReadString(const std::string& name);
    std::int32_t ReadInteger(const std::string& name);

private:
    std::string m_keyPath;
    bool m_valid = false;
#ifndef _WIN32
    std::string m_filePath; // the key file standing in for the registry; empty when unknown
#endif
};
