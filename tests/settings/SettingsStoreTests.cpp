#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestFixture.h"

#include <climits>
#include <regex>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public SettingsFixture
{
};

unsigned Mode(const fs::path& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// "41,42,..." for the bytes of the text, followed by a NUL, wrapped every eight bytes.
std::string HexWithNul(const std::string& text)
{
    std::string out;
    char byte[4];
    for (std::size_t i = 0; i <= text.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%02x",
                      i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
        out += byte;
        if (i < text.size())
            out += (i % 8 == 7) ? ",\\\n  " : ",";
    }
    return out;
}

TEST_F(SettingsStoreTest, KeyPathComesFromTheVersionInformation)
{
    std::optional<VersionInfo> info = ProgramVersionInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->CompanyName, "Brisendale Software");
    EXPECT_EQ(info->ProductName, "Quirefold");
    EXPECT_TRUE(std::regex_match(info->FileVersion, std::regex("[0-9]+(\\.[0-9]+)+")))
        << info->FileVersion;

    SettingsStore store;
    EXPECT_TRUE(store.Valid());
    EXPECT_EQ(store.KeyPath(), "Software\\Brisendale Software\\Quirefold");

    // Other names address another key in another file.
    SetProgramVersionInfo(VersionInfo{"Acme Corp", "Tool", "2.0"});
    SettingsStore other;
    EXPECT_EQ(other.KeyPath(), "Software\\Acme Corp\\Tool");
    EXPECT_TRUE(other.WriteInteger("Level", 4));
    EXPECT_EQ(testsupport::ReadAll(ConfigHome() / "Acme Corp" / "Tool.reg"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Acme Corp\\Tool]\n"
              "\"Level\"=dword:00000004\n\n");
    EXPECT_FALSE(testsupport::Exists(File()));
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

    SetProgramVersionInfo(VersionInfo{std::string(189, 'd'), "P", "1"});
    SettingsStore tooLong;
    EXPECT_FALSE(tooLong.Valid());
    EXPECT_FALSE(tooLong.WriteInteger("A", 1));
    EXPECT_EQ(tooLong.ReadInteger("A"), 0);
    EXPECT_FALSE(testsupport::Exists(ConfigHome() / std::string(189, 'd')));
}

TEST_F(SettingsStoreTest, WithoutVersionInformationNothingIsReadOrWritten)
{
    WriteFileText(KeyWith("\"A\"=\"stored\"\n\"N\"=dword:00000007"));
    const std::string before = FileText();
    SetProgramVersionInfo(std::nullopt);
    EXPECT_FALSE(ProgramVersionInfo());

    SettingsStore store;
    EXPECT_FALSE(store.Valid());
    EXPECT_EQ(store.ReadString("A"), "");
    EXPECT_EQ(store.ReadInteger("N"), 0);
    EXPECT_FALSE(store.WriteString("A", "x"));
    EXPECT_FALSE(store.WriteInteger("N", 1));
    EXPECT_EQ(FileText(), before);
    EXPECT_FALSE(testsupport::Exists(File().string() + ".lock"));

    ResetProgramVersionInfo();
    EXPECT_EQ(SettingsStore().ReadString("A"), "stored");
}

TEST_F(SettingsStoreTest, FirstReadCreatesTheKeyPrivateToTheOwner)
{
    SettingsStore store;
    EXPECT_EQ(store.ReadString("PreviousLinkText"), "");
    EXPECT_EQ(store.ReadInteger("BreakOn"), 0);
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

    // One line per plain value; control characters go into hex data, not into the line.
    std::string text = FileText();
    EXPECT_NE(text.find("\"Text2\"=\"C:\\\\Pictures\\\\\\\"quoted\\\" name.gif\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Text3\"=hex(1):6c,69,6e,65,20,6f,6e,65,0d,0a,"), std::string::npos);
    EXPECT_NE(text.find("\"Number4\"=dword:7fffffff\n"), std::string::npos);
    EXPECT_NE(text.find("\"Number5\"=dword:80000000\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(SettingsStoreTest, TextsAndNamesEndAtTheirFirstNul)
{
    SettingsStore store;
    EXPECT_TRUE(store.WriteString("Cut", std::string("ab\0cd", 5)));
    EXPECT_TRUE(store.WriteInteger(std::string("Num\0ber", 7), 5));
    EXPECT_EQ(store.ReadString("Cut"), "ab");
    EXPECT_EQ(store.ReadInteger("Num"), 5);
    EXPECT_EQ(FileText(), KeyWith("\"Cut\"=\"ab\"\n\"Num\"=dword:00000005"));
}

TEST_F(SettingsStoreTest, ValueOfAnotherTypeReadsAsNothing)
{
    WriteFileText(KeyWith("\"BreakOn\"=\"2\"\n"
                          "\"UseImages\"=hex:01,00,00,00\n"
                          "\"Navigation\"=hex(2):31,00\n"
                          "\"Breadcrumbs\"=dword:00000001\n"
                          "\"Wide\"=hex(4):01,00,00,00,00\n"
                          "\"Short\"=hex(4):05\n"
                          "\"BigEndian\"=hex(5):00,00,00,01\n"
                          "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\n"
                          "\"Multi\"=hex(7):61,00,00"));
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
    WriteFileText(KeyWith("\"PrevLinkImage\"=hex(2):" + HexWithNul(link)));
    EXPECT_EQ(SettingsStore().ReadString("PrevLinkImage"), link);
}

TEST_F(SettingsStoreTest, TextDataEndsAtItsFirstNulAndEmptyDataIsNothing)
{
    WriteFileText(KeyWith("\"Cut\"=hex(1):41,42,00,43,44,00\n"
                          "\"CutExpand\"=hex(2):25,41,25,00,42,00\n"
                          "\"NoNul\"=hex(1):41,42\n"
                          "\"Empty\"=hex(1):\n"
                          "\"OnlyNul\"=hex(1):00\n"
                          "\"EmptyDword\"=hex(4):"));
    SettingsStore store;
    EXPECT_EQ(store.ReadString("Cut"), "AB");
    EXPECT_EQ(store.ReadString("CutExpand"), "%A%");
    EXPECT_EQ(store.ReadString("NoNul"), "AB");
    EXPECT_EQ(store.ReadString("Empty"), "");
    EXPECT_EQ(store.ReadString("OnlyNul"), "");
    EXPECT_EQ(store.ReadInteger("EmptyDword"), 0);
}

TEST_F(SettingsStoreTest, DeletedFileOrFolderIsCreatedAgainEmpty)
{
    SettingsStore store;
    ASSERT_TRUE(store.WriteString("MRUFolder", "/data"));
    fs::remove(File());
    EXPECT_EQ(store.ReadString("MRUFolder"), "");
    EXPECT_EQ(FileText(), EmptyKey);

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
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    bool written = SettingsStore().WriteInteger("A", 1);
    setenv("HOME", oldHome.c_str(), 1);
    EXPECT_TRUE(written);
    EXPECT_TRUE(
        testsupport::Exists(home.Path() / ".config" / "Brisendale Software" / "Quirefold.reg"));
    EXPECT_FALSE(testsupport::Exists("relative"));
}

} // namespace
