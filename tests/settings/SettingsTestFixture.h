#pragma once

#include "settings/VersionInfo.h"
#include "tests/common/TestSupport.h"
#include "tests/settings/StoredKey.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// Every test starts with nothing stored and the real version information. On Windows the test
// main gives each test a private HKEY_CURRENT_USER; elsewhere each test gets a configuration
// folder of its own, where the key file lies.
class SettingsFixture : public testing::Test
{
protected:
    void SetUp() override
    {
#ifndef _WIN32
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_oldConfigHome = old ? old : "";
        testsupport::SetEnv("XDG_CONFIG_HOME", m_config.Path().string());
#endif
        ResetProgramVersionInfo();
    }

    void TearDown() override
    {
#ifndef _WIN32
        testsupport::SetEnv("XDG_CONFIG_HOME", m_oldConfigHome);
#endif
        ResetProgramVersionInfo();
    }

#ifndef _WIN32
    static inline const std::string Section =
        "[HKEY_CURRENT_USER\\Software\\Brisendale Software\\Quirefold]";
    // What the first access leaves behind: the header and the empty key.
    static inline const std::string EmptyKey = "REGEDIT4\n\n" + Section + "\n\n";

    const std::filesystem::path& ConfigHome() const
    {
        return m_config.Path();
    }
    std::filesystem::path Folder() const
    {
        return ConfigHome() / "Brisendale Software";
    }
    std::filesystem::path File() const
    {
        return Folder() / "Quirefold.reg";
    }
    std::string FileText() const
    {
        return testsupport::ReadAll(File());
    }
    void WriteFileText(const std::string& text) const
    {
        std::filesystem::create_directories(Folder());
        testsupport::WriteAll(File(), text);
    }
    // The file with the key holding exactly these value lines.
    static std::string KeyWith(const std::string& valueLines)
    {
        return "REGEDIT4\n\n" + Section + "\n" + valueLines + "\n\n";
    }
#endif

private:
#ifndef _WIN32
    testsupport::TempDir m_config;
    std::string m_oldConfigHome;
#endif
};
