#include "settings/KeyFileText.h"

#include <gtest/gtest.h>

namespace {

const std::string Key = "HKEY_CURRENT_USER\\Software\\Acme\\Tool";

TEST(SettingsKeyFileTextTest, TextComesBackByteForByteWhenNothingChanges)
{
    const std::string samples[] = {
        "",
        "REGEDIT4\n\n[" + Key + "]\n\"A\"=\"x\"\n\n",
        "REGEDIT4\r\n\r\n[" + Key + "]\r\n\"A\"=dword:00000001\r\n", // CRLF, as Windows writes
        "no header, no newline at the end",
        std::string("binary\0junk", 11) + "\xff\n[" + Key +
            "]\n\"H\"=hex:01,\\\n  02\n\"Bad\"=dword:zz",
    };
    for (const std::string& text : samples)
        EXPECT_EQ(KeyFileText::Parse(text).Text(), text);
}

TEST(SettingsKeyFileTextTest, ReadsEveryDataForm)
{
    KeyFileText text = KeyFileText::Parse("REGEDIT4\r\n"
                                          "[" +
                                          Key +
                                          "]\r\n"
                                          "\"Str\"=\"C:\\\\dir \\\"q\\\"\"\r\n"
                                          "\"Raw\"=\"C:\\temp\"\n"
                                          "\"Num\"=DWORD:A\n"
                                          "\"Bin\"=hex: 01 , ff,\n"
                                          "\"Exp\"=HEX(2):25,00\n"
                                          "\"Qw\"=hex(b):01,02,03,04,05,06,07,08\n"
                                          "\"Long\"=hex(7):61,\\\n"
                                          "    00,\\\n"
                                          "  62,00,00\n"
                                          "\"Empty\"=hex(1):\n"
                                          "@=\"default\"\n"
                                          "\"Gone\"=-\n"
                                          "\"a=b\"=hex:\\\n"
                                          "  07\n");
    EXPECT_EQ(text.Find(Key, "Str"), RegistryValue::String("C:\\dir \"q\""));
    // Unknown escapes stay literal, so a hand-written Windows path survives.
    EXPECT_EQ(text.Find(Key, "Raw"), RegistryValue::String("C:\\temp"));
    EXPECT_EQ(text.Find(Key, "Num"), RegistryValue::Dword(10));
    EXPECT_EQ(text.Find(Key, "Bin"), (RegistryValue{RegType::Binary, "\x01\xff"}));
    EXPECT_EQ(text.Find(Key, "Exp"), (RegistryValue{RegType::ExpandSz, std::string("%\0", 2)}));
    EXPECT_EQ(text.Find(Key, "Qw"),
              (RegistryValue{RegType::Qword, "\x01\x02\x03\x04\x05\x06\x07\x08"}));
    EXPECT_EQ(text.Find(Key, "Long"),
              (RegistryValue{RegType::MultiSz, std::string("a\0b\0\0", 5)}));
    EXPECT_EQ(text.Find(Key, "Empty"), (RegistryValue{RegType::Sz, ""}));
    EXPECT_EQ(text.Find(Key, ""), RegistryValue::String("default"));
    EXPECT_FALSE(text.Find(Key, "Gone"));
    EXPECT_EQ(text.Find(Key, "a=b"), (RegistryValue{RegType::Binary, "\x07"}));
}

TEST(SettingsKeyFileTextTest, RejectsMalformedValuesWithoutLosingThem)
{
    const std::string source = "REGEDIT4\n[" + Key +
                               "]\n"
                               "\"A\"=dword:123456789\n" // nine digits
                               "\"B\"=hex:1,2x\n"
                               "\"C\"=\"open\n"
                               "\"D\"=\"x\" trailing\n"
                               "\"E\"=hex(zz):00\n"
                               "\"F\"\n";
    KeyFileText text = KeyFileText::Parse(source);
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        EXPECT_FALSE(text.Find(Key, name)) << name;
    text.Set(Key, "G", RegistryValue::Dword(1));
    EXPECT_EQ(text.Text(), source + "\"G\"=dword:00000001\n");
}

TEST(SettingsKeyFileTextTest, FormatsValuesAsTheRegistryEditorExportsThem)
{
    EXPECT_EQ(KeyFileText::FormatValue("A", RegistryValue::String("x\\\"y")),
              "\"A\"=\"x\\\\\\\"y\"");
    EXPECT_EQ(KeyFileText::FormatValue("", RegistryValue::String("d")), "@=\"d\"");
    EXPECT_EQ(KeyFileText::FormatValue("N", RegistryValue::Dword(0xfffffffe)),
              "\"N\"=dword:fffffffe");
    EXPECT_EQ(KeyFileText::FormatValue("B", {RegType::Binary, std::string("\x00\x10\xab", 3)}),
              "\"B\"=hex:00,10,ab");
    // Text that would break the line, or a DWORD of the wrong size, keeps its type in hex form.
    EXPECT_EQ(KeyFileText::FormatValue("L", RegistryValue::String("a\nb")),
              "\"L\"=hex(1):61,0a,62,00");
    EXPECT_EQ(KeyFileText::FormatValue("Z", {RegType::Sz, ""}), "\"Z\"=hex(1):");
    EXPECT_EQ(KeyFileText::FormatValue("S", {RegType::Dword, "\x01\x02"}), "\"S\"=hex(4):01,02");
}

TEST(SettingsKeyFileTextTest, LongDataWrapsIntoContinuationLinesAndReadsBack)
{
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += static_cast<char>(i);
    const RegistryValue value{RegType::ExpandSz, data};
    std::string line = KeyFileText::FormatValue("Wide", value);

    std::size_t start = 0;
    int lines = 0;
    while (start <= line.size()) {
        std::size_t end = line.find('\n', start);
        std::string piece = line.substr(start, end == std::string::npos ? end : end - start);
        EXPECT_LE(piece.size(), 80u) << piece;
        ++lines;
        if (end == std::string::npos)
            break;
        EXPECT_EQ(piece.back(), '\\');
        start = end + 1;
    }
    EXPECT_GT(lines, 10);

    KeyFileText text;
    text.Set(Key, "Wide", value);
    text.Set(Key, "After", RegistryValue::Dword(5));
    KeyFileText reread = KeyFileText::Parse(text.Text());
    EXPECT_EQ(reread.Find(Key, "Wide"), value);
    EXPECT_EQ(reread.Find(Key, "After"), RegistryValue::Dword(5));
}

TEST(SettingsKeyFileTextTest, KeysAndNamesIgnoreLetterCaseAndTheLastDuplicateCounts)
{
    KeyFileText text = KeyFileText::Parse("REGEDIT4\n\n"
                                          "[hkey_current_user\\software\\ACME\\tool]\n"
                                          "\"level\"=dword:00000001\n"
                                          "\n"
                                          "[Other]\n"
                                          "\"Level\"=dword:00000009\n"
                                          "\n"
                                          "[" +
                                          Key +
                                          "]\n"
                                          "\"LEVEL\"=dword:00000002\n");
    EXPECT_TRUE(text.HasKey(Key));
    EXPECT_EQ(text.Find(Key, "Level"), RegistryValue::Dword(2));
    EXPECT_EQ(text.Find("other", "level"), RegistryValue::Dword(9));

    // The write replaces the last one in place and drops the one it shadowed.
    text.Set(Key, "Level", RegistryValue::Dword(3));
    EXPECT_EQ(text.Text(), "REGEDIT4\n\n"
                           "[hkey_current_user\\software\\ACME\\tool]\n"
                           "\n"
                           "[Other]\n"
                           "\"Level\"=dword:00000009\n"
                           "\n"
                           "[" +
                               Key +
                               "]\n"
                               "\"LEVEL\"=dword:00000003\n");
}

TEST(SettingsKeyFileTextTest, NewValuesGoToTheEndOfTheirKeyBeforeItsBlankLine)
{
    KeyFileText text =
        KeyFileText::Parse("REGEDIT4\n\n[" + Key + "]\n\"A\"=\"1\"\n\n[Other]\n\"B\"=\"2\"");
    text.Set(Key, "C", RegistryValue::String("3"));
    text.Set("New", "D", RegistryValue::Dword(4));
    EXPECT_EQ(text.Text(), "REGEDIT4\n\n[" + Key +
                               "]\n\"A\"=\"1\"\n\"C\"=\"3\"\n\n"
                               "[Other]\n\"B\"=\"2\"\n\n[New]\n\"D\"=dword:00000004\n\n");

    KeyFileText empty;
    empty.AddKey(Key);
    EXPECT_EQ(empty.Text(), "REGEDIT4\n\n[" + Key + "]\n\n");
}

} // namespace
