#include "fuzz/checks/KeyFileCheck.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

using fuzzinputs::Text;

namespace {

const std::string kKey = "[Software\\Brisendale Software\\Quirefold]";

TEST(KeyFileFuzzTest, EverySavedInputKeepsTheRules)
{
    const auto inputs = fuzzinputs::Inputs("keyfile");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(fuzzcheck::CheckKeyFile(fuzzinputs::Read(file)), "") << file;
}

// One value set: name choice, key choice, type choice and data.
std::string Set(unsigned char name, unsigned char key, unsigned char type, const std::string& data)
{
    return std::string{static_cast<char>(name), static_cast<char>(key), static_cast<char>(type)} +
           Text(data);
}

TEST(KeyFileFuzzTest, ValuesOfEveryTypeReadBackFromDamagedFiles)
{
    const std::string files[] = {
        "",
        "REGEDIT4",
        "REGEDIT4\n\n" + kKey + "\n\"NoLinks\"=dword:1\n",
        "REGEDIT4\r\n" + kKey + "\r\n\"A\"=hex:01,\\\r\n  02\r\n",
        // A section whose last line promises more hex data that never comes.
        "REGEDIT4\n" + kKey + "\n\"Bin\"=hex:01,02,\\\n",
        "REGEDIT4\n" + kKey + "\n\"Bin\"=hex:01,02,\\",
        "\xff\xfe garbage\n[\n]\n[]\n\"\"=\"\n@=\"x\"\n" + kKey + "\n\"a\"=\"b\"junk\n",
        kKey + "\n" + kKey + "\n\"NoLinks\"=dword:00000002\n[other]\n\"NoLinks\"=\"x\"\n",
    };
    const std::string data[] = {"",
                                "text",
                                std::string("a\0b", 3),
                                "line\nbreak",
                                "\\\"q\"",
                                std::string(300, 'z').substr(0, 255)};
    for (const std::string& file : files) {
        for (unsigned char type = 0; type < 6; ++type) {
            for (const std::string& d : data) {
                const std::string input = std::string(1, '\x02') + Set(0, 0, type, d) +
                                          Set(11, 1, static_cast<unsigned char>(type + 1), d) +
                                          file;
                EXPECT_EQ(fuzzcheck::CheckKeyFile(input), "") << "type " << int(type) << " in\n"
                                                              << file;
            }
        }
    }
}

} // namespace
