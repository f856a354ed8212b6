#pragma once

#include "settings/VersionInfo.h"
#include "tests/common/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// Gives every test its own configuration folder, so each starts with nothing stored, and the
// real version information.
class SettingsFixture : public testing::Test
{
protected:
    static inline const std::string Section =
        "[HKEY_CURRENT_USER\\Software\\Brisendale Software\\Quirefold]";
    // What the first access leaves behind: the header and the empty key.
    static inline const std::string EmptyKey = "REGEDIT4\n\n" + Section + "\n\n";

    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_oldConfigHome = old ? old : "";
        setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
        ResetProgramVersionInfo();
    }

    void TearDown() override
    {
        setenv("XDG_CONFIG_HOME", m_oldConfigHome.c_str(), 1);
        ResetProgramVersionInfo();
    }

    const std::filesystem::path& ConfigHome() const { return m_config.Path(); }
    std::filesystem::path Folder() const { return ConfigHome() / "Brisendale Software"; }
    std::filesystem::path File() const { return Folder() / "Quirefold.reg"; }
    std::string FileText() const { return testsupport::ReadAll(File()); }
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

private:
    testsupport::TempDir m_config;
    std::string m_oldConfigHome;
};
