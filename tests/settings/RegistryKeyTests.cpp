// The store on Windows: the key and its values as the registry API sees them.
#include "settings/SettingsIO.h"
#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestFixture.h"

#include <windows.h>

namespace {

class RegistryKeyTest : public SettingsFixture
{
};

constexpr const char* kKey = "Software\\Brisendale Software\\Quirefold";

struct Queried
{
    LONG Result = 0;
    DWORD Type = 0;
    std::string Data;
};

Queried Query(const char* name)
{
    Queried q;
    HKEY key = nullptr;
    q.Result = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key);
    if (q.Result != ERROR_SUCCESS)
        return q;
    DWORD size = 0;
    q.Result = RegQueryValueExA(key, name, nullptr, &q.Type, nullptr, &size);
    if (q.Result == ERROR_SUCCESS) {
        q.Data.resize(size);
        q.Result = RegQueryValueExA(key, name, nullptr, &q.Type,
                                    reinterpret_cast<BYTE*>(q.Data.data()), &size);
        q.Data.resize(size);
    }
    RegCloseKey(key);
    return q;
}

TEST_F(RegistryKeyTest, EveryTestStartsWithAnEmptyCurrentUser)
{
    DWORD subKeys = 1;
    DWORD values = 1;
    ASSERT_EQ(RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subKeys, nullptr,
                               nullptr, &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 0u);
}

TEST_F(RegistryKeyTest, SavedOptionsLieInTheProgramKeyWithTheirRegistryTypes)
{
    SplitSettings settings = SplitSettings::WhenNothingStored("C:\\Program Files\\Quirefold\\");
    settings.AddLinks = true;
    settings.BreakOn = 3;
    settings.BreadcrumbsText = "You are here:";
    SaveSettings(settings);
    ASSERT_TRUE(SettingsStore().WriteString("MRUFolder", "C:\\Documents\\Manuals"));

    Queried folder = Query("MRUFolder");
    ASSERT_EQ(folder.Result, ERROR_SUCCESS);
    EXPECT_EQ(folder.Type, static_cast<DWORD>(REG_SZ));
    // The data size counts the terminating NUL.
    EXPECT_EQ(folder.Data, std::string("C:\\Documents\\Manuals") + '\0');

    Queried breakOn = Query("BreakOn");
    ASSERT_EQ(breakOn.Result, ERROR_SUCCESS);
    EXPECT_EQ(breakOn.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(breakOn.Data, std::string("\3\0\0\0", 4));

    Queried noLinks = Query("NoLinks");
    EXPECT_EQ(noLinks.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(noLinks.Data, std::string("\1\0\0\0", 4));
    Queried label = Query("BreadcrumbsText");
    EXPECT_EQ(label.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(label.Data, std::string("You are here:") + '\0');

    EXPECT_EQ(Query("Missing").Result, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, ValuesPlantedByOtherProgramsAreReadByType)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const BYTE binary[] = {2, 0, 0, 0};
    const DWORD two = 2;
    const char text[] = "Start";
    RegSetValueExA(key, "BreakOn", 0, REG_BINARY, binary, sizeof binary);
    RegSetValueExA(key, "NoLinks", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), sizeof two);
    RegSetValueExA(key, "HomeLinkText", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   sizeof text);
    RegCloseKey(key);

    SettingsStore store;
    EXPECT_EQ(store.ReadInteger("BreakOn"), 0);
    EXPECT_EQ(store.ReadInteger("NoLinks"), 2);
    EXPECT_EQ(store.ReadString("HomeLinkText"), "Start");

    SplitSettings settings = SplitSettings::WhenStoreUnavailable();
    settings.BreakOn = 1;
    LoadSettings(settings);
    EXPECT_TRUE(settings.AddLinks);
    EXPECT_EQ(settings.HomeLinkText, "Start");
    // A "BreakOn" of another type counts as missing: the level in force is stored back.
    EXPECT_EQ(settings.BreakOn, 1);
    Queried breakOn = Query("BreakOn");
    EXPECT_EQ(breakOn.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(breakOn.Data, std::string("\1\0\0\0", 4));
}

} // namespace
