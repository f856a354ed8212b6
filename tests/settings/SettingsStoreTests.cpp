#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestFixture.h"

#include <climits>
#include <regex>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public SettingsFixture
{
};

RegistryValue Typed(std::uint32_t type, const std::string& data)
{
    return RegistryValue{type, data};
}

TEST_F(SettingsStoreTest, KeyPathComesFromTheVersionInformation)
{
    // On Windows this is the test program's own version resource.
    std::optional<VersionInfo> info = ProgramVersionInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->CompanyName, "Brisendale Software");
    EXPECT_EQ(info->ProductName, "Quirefold");
    EXPECT_TRUE(std::regex_match(info->FileVersion, std::regex("[0-9]+(\\.[0-9]+)+")))
        << info->FileVersion;

    SettingsStore store;
    EXPECT_TRUE(store.Valid());
    EXPECT_EQ(store.KeyPath(), "Software\\Brisendale Software\\Quirefold");

    // Other names address another key.
    SetProgramVersionInfo(VersionInfo{"Acme Corp", "Tool", "2.0"});
    SettingsStore other;
    EXPECT_EQ(other.KeyPath(), "Software\\Acme Corp\\Tool");
    EXPECT_TRUE(other.WriteInteger("Level", 4));
    EXPECT_EQ(storedkey::ValueNames(), std::vector<std::string>{"Level"});
    EXPECT_EQ(storedkey::Value("Level"), RegistryValue::Dword(4));
#ifndef _WIN32
    EXPECT_EQ(testsupport::ReadAll(ConfigHome() / "Acme Corp" / "Tool.reg"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Acme Corp\\Tool]\n"
              "\"Level\"=dword:00000004\n\n");
#endif
    ResetProgramVersionInfo();
    EXPECT_FALSE(storedkey::Exists());
    EXPECT_EQ(store.ReadInteger("Level"), 0);
}

TEST_F(SettingsStoreTest, KeyPathLongerThan199CharactersLeavesTheStoreInvalid)
{
    // "Software\" + company + "\" + "P": 11 characters besides the company name.
    SetProgramVersionInfo(VersionInfo{std::string(188, 'c'), "P", "1"});
    SettingsStore longest;
    EXPECT_TRUE(longest.Valid());
    EXPECT_EQ(longest.KeyPath().size(), 199u);
    EXPECT_TRUE(longest.WriteInteger("A", 1));
    EXPECT_EQ(longest.ReadInteger("A"), 1);
    EXPECT_EQ(storedkey::Value("A"), RegistryValue::Dword(1));

    SetProgramVersionInfo(VersionInfo{std::string(189, 'd'), "P", "1"});
    SettingsStore tooLong;
    EXPECT_FALSE(tooLong.Valid());
    EXPECT_FALSE(tooLong.WriteInteger("A", 1));
    EXPECT_EQ(tooLong.ReadInteger("A"), 0);
    EXPECT_FALSE(storedkey::Exists());
}

TEST_F(SettingsStoreTest, WithoutVersionInformationNothingIsReadOrWritten)
{
#ifdef _WIN32
    storedkey::Put("A", RegistryValue::String("stored"));
    storedkey::Put("N", RegistryValue::Dword(7));
#else
    // Written by hand, so that no lock file exists yet.
    WriteFileText(KeyWith("\"A\"=\"stored\"\n\"N\"=dword:00000007"));
    const std::string before = FileText();
#endif
    SetProgramVersionInfo(std::nullopt);
    EXPECT_FALSE(ProgramVersionInfo());

    SettingsStore store;
    EXPECT_FALSE(store.Valid());
    EXPECT_EQ(store.ReadString("A"), "");
    EXPECT_EQ(store.ReadInteger("N"), 0);
    EXPECT_FALSE(store.WriteString("A", "x"));
    EXPECT_FALSE(store.WriteInteger("N", 1));
    EXPECT_FALSE(store.WriteString("New", "x"));
#ifndef _WIN32
    EXPECT_EQ(FileText(), before);
    EXPECT_FALSE(testsupport::Exists(File().string() + ".lock"));
#endif

    ResetProgramVersionInfo();
    EXPECT_EQ(storedkey::ValueNames(), (std::vector<std::string>{"A", "N"}));
    EXPECT_EQ(storedkey::Value("N"), RegistryValue::Dword(7));
    EXPECT_EQ(SettingsStore().ReadString("A"), "stored");
}

TEST_F(SettingsStoreTest, FirstReadCreatesTheKeyEmpty)
{
    EXPECT_FALSE(storedkey::Exists());
    SettingsStore store;
    EXPECT_EQ(store.ReadString("PreviousLinkText"), "");
    EXPECT_TRUE(storedkey::Exists());
    EXPECT_EQ(store.ReadInteger("BreakOn"), 0);
    EXPECT_TRUE(storedkey::ValueNames().empty());
}

TEST_F(SettingsStoreTest, ValuesComeBackWithTheirTypes)
{
    const std::string texts[] = {
        "Previous",
        "",
        "C:\\Pictures\\\"quoted\" name.gif",
        "line one\r\nline two\ttab",
        "caf\xc3\xa9 \xe9",
        std::string(5000, 'x'),
    };
    const std::int32_t numbers[] = {0, 1, 3, -1, INT_MAX, INT_MIN};
    {
        SettingsStore store;
        for (std::size_t i = 0; i < std::size(texts); ++i)
            EXPECT_TRUE(store.WriteString("Text" + std::to_string(i), texts[i]));
        for (std::size_t i = 0; i < std::size(numbers); ++i)
            EXPECT_TRUE(store.WriteInteger("Number" + std::to_string(i), numbers[i]));
    }
    SettingsStore store;
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(store.ReadString("Text" + std::to_string(i)), texts[i]) << i;
        EXPECT_EQ(store.ReadInteger("Text" + std::to_string(i)), 0) << i;
    }
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        EXPECT_EQ(store.ReadInteger("Number" + std::to_string(i)), numbers[i]) << i;
        EXPECT_EQ(store.ReadString("Number" + std::to_string(i)), "") << i;
    }

    // As kept: texts are REG_SZ with their NUL, numbers four-byte little-endian REG_DWORDs.
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const std::string name = "Text" + std::to_string(i);
        EXPECT_EQ(storedkey::Value(name), Typed(RegType::Sz, texts[i] + '\0')) << name;
    }
    EXPECT_EQ(storedkey::Value("Number0"), Typed(RegType::Dword, std::string(4, '\0')));
    EXPECT_EQ(storedkey::Value("Number3"), Typed(RegType::Dword, "\xff\xff\xff\xff"));
    EXPECT_EQ(storedkey::Value("Number4"), Typed(RegType::Dword, "\xff\xff\xff\x7f"));
    EXPECT_EQ(storedkey::Value("Number5"), Typed(RegType::Dword, std::string("\0\0\0\x80", 4)));
    EXPECT_EQ(storedkey::ValueNames().size(), std::size(texts) + std::size(numbers));

#ifndef _WIN32
    // One line per plain value; control characters go into hex data, not into the line.
    std::string text = FileText();
    EXPECT_NE(text.find("\"Text2\"=\"C:\\\\Pictures\\\\\\\"quoted\\\" name.gif\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Text3\"=hex(1):6c,69,6e,65,20,6f,6e,65,0d,0a,"), std::string::npos);
    EXPECT_NE(text.find("\"Number4\"=dword:7fffffff\n"), std::string::npos);
    EXPECT_NE(text.find("\"Number5\"=dword:80000000\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
#endif
}

TEST_F(SettingsStoreTest, TextsAndNamesEndAtTheirFirstNul)
{
    SettingsStore store;
    EXPECT_TRUE(store.WriteString("Cut", std::string("ab\0cd", 5)));
    EXPECT_TRUE(store.WriteInteger(std::string("Num\0ber", 7), 5));
    EXPECT_EQ(store.ReadString("Cut"), "ab");
    EXPECT_EQ(store.ReadInteger("Num"), 5);
    EXPECT_EQ(storedkey::ValueNames(), (std::vector<std::string>{"Cut", "Num"}));
    EXPECT_EQ(storedkey::Value("Cut"), RegistryValue::String("ab"));
}

TEST_F(SettingsStoreTest, ValueOfAnotherTypeReadsAsNothing)
{
    storedkey::Put("BreakOn", RegistryValue::String("2"));
    storedkey::Put("UseImages", Typed(RegType::Binary, std::string("\1\0\0\0", 4)));
    storedkey::Put("Navigation", Typed(RegType::ExpandSz, std::string("1\0", 2)));
    storedkey::Put("Breadcrumbs", RegistryValue::Dword(1));
    storedkey::Put("Wide", Typed(RegType::Dword, std::string("\1\0\0\0\0", 5)));
    storedkey::Put("Short", Typed(RegType::Dword, "\5"));
    storedkey::Put("BigEndian", Typed(RegType::DwordBigEndian, std::string("\0\0\0\1", 4)));
    storedkey::Put("Quad", Typed(RegType::Qword, std::string("\1\0\0\0\0\0\0\0", 8)));
    storedkey::Put("Multi", Typed(RegType::MultiSz, std::string("a\0\0", 3)));

    SettingsStore store;
    EXPECT_EQ(store.ReadInteger("BreakOn"), 0);
    EXPECT_EQ(store.ReadString("BreakOn"), "2");
    EXPECT_EQ(store.ReadInteger("UseImages"), 0);
    EXPECT_EQ(store.ReadString("UseImages"), "");
    EXPECT_EQ(store.ReadInteger("Navigation"), 0);
    EXPECT_EQ(store.ReadString("Breadcrumbs"), "");
    EXPECT_EQ(store.ReadInteger("Breadcrumbs"), 1);
    EXPECT_EQ(store.ReadInteger("Wide"), 0);
    EXPECT_EQ(store.ReadInteger("Short"), 5);
    EXPECT_EQ(store.ReadInteger("BigEndian"), 0);
    EXPECT_EQ(store.ReadInteger("Quad"), 0);
    EXPECT_EQ(store.ReadString("Multi"), "");
}

TEST_F(SettingsStoreTest, ExpandableTextComesBackUnexpanded)
{
    const std::string link = "%HOME%\\Pictures\\%USERNAME%-prev.gif";
    storedkey::Put("PrevLinkImage", Typed(RegType::ExpandSz, link + '\0'));
    EXPECT_EQ(SettingsStore().ReadString("PrevLinkImage"), link);
}

TEST_F(SettingsStoreTest, TextDataEndsAtItsFirstNulAndEmptyDataIsNothing)
{
    storedkey::Put("Cut", Typed(RegType::Sz, std::string("AB\0CD\0", 6)));
    storedkey::Put("CutExpand", Typed(RegType::ExpandSz, std::string("%A%\0B\0", 6)));
    storedkey::Put("NoNul", Typed(RegType::Sz, "AB"));
    storedkey::Put("Empty", Typed(RegType::Sz, ""));
    storedkey::Put("OnlyNul", Typed(RegType::Sz, std::string(1, '\0')));
    storedkey::Put("EmptyDword", Typed(RegType::Dword, ""));
    SettingsStore store;
    EXPECT_EQ(store.ReadString("Cut"), "AB");
    EXPECT_EQ(store.ReadString("CutExpand"), "%A%");
    EXPECT_EQ(store.ReadString("NoNul"), "AB");
    EXPECT_EQ(store.ReadString("Empty"), "");
    EXPECT_EQ(store.ReadString("OnlyNul"), "");
    EXPECT_EQ(store.ReadInteger("EmptyDword"), 0);
}

TEST_F(SettingsStoreTest, DeletedKeyIsCreatedAgainEmpty)
{
    SettingsStore store;
    ASSERT_TRUE(store.WriteString("MRUFolder", "/data"));
    ASSERT_TRUE(store.WriteInteger("BreakOn", 3));
    storedkey::Remove();
    ASSERT_FALSE(storedkey::Exists());
    EXPECT_EQ(store.ReadString("MRUFolder"), "");
    EXPECT_TRUE(storedkey::Exists());
    EXPECT_TRUE(storedkey::ValueNames().empty());

    storedkey::Remove();
    EXPECT_TRUE(store.WriteString("MRUFolder", "/other"));
    EXPECT_EQ(storedkey::ValueNames(), std::vector<std::string>{"MRUFolder"});
    EXPECT_EQ(store.ReadString("MRUFolder"), "/other");
}

TEST_F(SettingsStoreTest, ValuesOfAnotherProductAreNotRead)
{
    SetProgramVersionInfo(VersionInfo{"Brisendale Software", "Other", "1"});
    storedkey::Put("NoLinks", RegistryValue::Dword(9));
    storedkey::Put("HomeLinkText", RegistryValue::String("elsewhere"));
    ResetProgramVersionInfo();

    SettingsStore store;
    EXPECT_EQ(store.ReadInteger("NoLinks"), 0);
    EXPECT_EQ(store.ReadString("HomeLinkText"), "");
    EXPECT_TRUE(store.WriteInteger("NoLinks", 1));

    SetProgramVersionInfo(VersionInfo{"Brisendale Software", "Other", "1"});
    EXPECT_EQ(storedkey::Value("NoLinks"), RegistryValue::Dword(9));
}

#ifndef _WIN32
// The key file: its text, its rights and its place. Windows keeps the key in the registry.

unsigned Mode(const fs::path& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

TEST_F(SettingsStoreTest, FirstReadCreatesTheKeyFilePrivateToTheOwner)
{
    SettingsStore store;
    EXPECT_EQ(store.ReadString("PreviousLinkText"), "");
    EXPECT_EQ(FileText(), EmptyKey);
    EXPECT_EQ(Mode(File()), 0600u);
    EXPECT_EQ(Mode(Folder()), 0700u);
    EXPECT_EQ(Mode(File().string() + ".lock"), 0600u);

    // A file written by someone else with looser rights is private again after a write.
    fs::permissions(File(),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_TRUE(store.WriteInteger("BreakOn", 2));
    EXPECT_EQ(Mode(File()), 0600u);
}

TEST_F(SettingsStoreTest, DeletedFolderIsCreatedAgainPrivate)
{
    SettingsStore store;
    ASSERT_TRUE(store.WriteString("MRUFolder", "/data"));
    fs::remove_all(Folder());
    EXPECT_TRUE(store.WriteString("MRUFolder", "/other"));
    EXPECT_EQ(Mode(Folder()), 0700u);
    EXPECT_EQ(FileText(), KeyWith("\"MRUFolder\"=\"/other\""));
}

TEST_F(SettingsStoreTest, WriteKeepsEveryOtherValueAndLine)
{
    const std::string head = "REGEDIT4\r\n"
                             "; written by hand\r\n"
                             "\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                             "\"NoLinks\"=dword:00000009\r\n"
                             "\"Blob\"=hex:01,02,\\\r\n"
                             "  03\r\n"
                             "\r\n";
    const std::string tail = "\r\n[HKEY_LOCAL_MACHINE\\Whatever]\r\n@=\"x\"\r\n";
    WriteFileText(head + Section +
                  "\r\n"
                  "\"HomeLinkText\"=\"Start\"\r\n"
                  "a line nobody understands\r\n"
                  "\"NoLinks\"=dword:00000000\r\n"
                  "\"Broken\"=dword:xyz\r\n"
                  "\"Keep\"=hex(2):25,00\r\n" +
                  tail);

    SettingsStore store;
    EXPECT_EQ(store.ReadInteger("NoLinks"), 0); // not the other key's 9
    EXPECT_TRUE(store.WriteInteger("NoLinks", 1));
    EXPECT_TRUE(store.WriteString("BreadcrumbsText", "Here:"));
    EXPECT_EQ(FileText(), head + Section +
                              "\r\n"
                              "\"HomeLinkText\"=\"Start\"\r\n"
                              "a line nobody understands\r\n"
                              "\"NoLinks\"=dword:00000001\r\n"
                              "\"Broken\"=dword:xyz\r\n"
                              "\"Keep\"=hex(2):25,00\r\n"
                              "\"BreadcrumbsText\"=\"Here:\"\r\n" +
                              tail);
    EXPECT_EQ(store.ReadString("HomeLinkText"), "Start");
    EXPECT_EQ(store.ReadString("Keep"), "%");
}

TEST_F(SettingsStoreTest, FileWithoutTheKeyGetsItAppended)
{
    WriteFileText("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"A\"=\"1\"");
    EXPECT_EQ(SettingsStore().ReadString("A"), "");
    EXPECT_EQ(FileText(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"A\"=\"1\"\n\n" +
                              Section + "\n\n");
}

TEST_F(SettingsStoreTest, UnusableLocationFailsQuietly)
{
    // The key file's name taken by a folder.
    fs::create_directories(File());
    SettingsStore store;
    EXPECT_FALSE(store.WriteString("A", "x"));
    EXPECT_EQ(store.ReadString("A"), "");
    EXPECT_EQ(store.ReadInteger("A"), 0);
    fs::remove_all(Folder());

    // The company folder's name taken by a file.
    testsupport::WriteAll(Folder(), "");
    EXPECT_FALSE(store.WriteInteger("A", 1));
    EXPECT_EQ(store.ReadInteger("A"), 0);

    // Names that are no file names address no file at all.
    SetProgramVersionInfo(VersionInfo{"..", "Quirefold", "1"});
    SettingsStore dotted;
    EXPECT_TRUE(dotted.Valid());
    EXPECT_FALSE(dotted.WriteInteger("A", 1));
    SetProgramVersionInfo(VersionInfo{"Acme", "a/b", "1"});
    EXPECT_FALSE(SettingsStore().WriteInteger("A", 1));
    EXPECT_FALSE(testsupport::Exists(ConfigHome() / "Acme"));
}

TEST_F(SettingsStoreTest, ConfigurationFolderFollowsTheEnvironment)
{
    // A relative XDG_CONFIG_HOME is not valid and falls back to ~/.config.
    testsupport::TempDir home;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    testsupport::SetEnv("HOME", home.Path().string());
    testsupport::SetEnv("XDG_CONFIG_HOME", "relative/config");
    bool written = SettingsStore().WriteInteger("A", 1);
    testsupport::SetEnv("HOME", oldHome);
    EXPECT_TRUE(written);
    EXPECT_TRUE(
        testsupport::Exists(home.Path() / ".config" / "Brisendale Software" / "Quirefold.reg"));
    EXPECT_FALSE(testsupport::Exists("relative"));
}

#endif

} // namespace
