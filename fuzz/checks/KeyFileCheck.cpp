#include "fuzz/checks/KeyFileCheck.h"

#include "fuzz/checks/ByteReader.h"
#include "settings/KeyFileText.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace fuzzcheck {

namespace {

const char* const kProgramKey = "Software\\Brisendale Software\\Quirefold";
const char* const kValueNames[] = {
    "NoLinks",       "PreviousLinkText", "HomeLinkText",  "NextLinkText", "BreakOn",
    "PrevLinkImage", "HomeLinkImage",    "NextLinkImage", "UseImages",    "Navigation",
    "Breadcrumbs",   "BreadcrumbsText",  "MRUFolder",
};

std::string Lower(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string TrimBlanks(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

// Keys and value names as a reader of the file would see them, line by line; the parser may
// see fewer (a bracketed line inside continued hex data is no key), which does no harm here.
void CollectNames(const std::string& text, std::vector<std::string>& keys,
                  std::vector<std::string>& names)
{
    std::size_t start = 0;
    while (start < text.size() && keys.size() < 8 && names.size() < 40) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = TrimBlanks(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            keys.push_back(line.substr(1, line.size() - 2));
        } else if (!line.empty() && line.front() == '"') {
            std::string name;
            for (std::size_t i = 1; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '\\' || line[i + 1] == '"'))
                    ++i;
                name += line[i];
            }
            names.push_back(name);
        }
    }
}

std::string Describe(const std::optional<RegistryValue>& v)
{
    if (!v)
        return "(missing)";
    return "type " + std::to_string(v->Type) + ", " + std::to_string(v->Data.size()) + " bytes";
}

struct SetValue
{
    std::string Key;
    std::string Name;
    RegistryValue Value;
};

} // namespace

std::string CheckKeyFile(std::string_view input)
{
    ByteReader in(input);
    const int setCount = in.Byte() % 4;
    struct Choice
    {
        std::uint8_t Name, Key, Type;
        std::string Data, RawName;
    };
    std::vector<Choice> choices;
    for (int i = 0; i < setCount; ++i) {
        Choice c;
        c.Name = in.Byte();
        c.Key = in.Byte();
        c.Type = in.Byte();
        c.Data = in.Text();
        if (c.Name == 255)
            c.RawName = in.Text(64);
        choices.push_back(std::move(c));
    }
    const std::string original = in.Rest();

    KeyFileText file = KeyFileText::Parse(original);
    if (file.Text() != original)
        return "parsing and writing an unchanged file changed its text";

    std::vector<std::string> keys{kProgramKey};
    std::vector<std::string> names(std::begin(kValueNames), std::end(kValueNames));
    names.push_back("");
    CollectNames(original, keys, names);

    std::vector<SetValue> sets;
    for (const Choice& c : choices) {
        SetValue set;
        set.Key = keys[c.Key % keys.size()];
        set.Name = c.Name == 255 ? c.RawName : names[c.Name % names.size()];
        // Names with line breaks are refused before they reach the file.
        if (set.Name.find_first_of("\r\n") != std::string::npos)
            continue;
        switch (c.Type % 6) {
        case 0:
            set.Value = RegistryValue::String(c.Data);
            break;
        case 1: {
            std::uint32_t number = 0;
            for (std::size_t i = 0; i < c.Data.size() && i < 4; ++i)
                number |= static_cast<std::uint32_t>(static_cast<unsigned char>(c.Data[i]))
                          << (8 * i);
            set.Value = RegistryValue::Dword(number);
            break;
        }
        case 2:
            set.Value = {RegType::ExpandSz, c.Data};
            break;
        case 3:
            set.Value = {RegType::Binary, c.Data};
            break;
        case 4:
            set.Value = {RegType::Sz, c.Data}; // possibly without its NUL, or with inner ones
            break;
        default:
            set.Value = {c.Type, c.Data};
            break;
        }
        sets.push_back(std::move(set));
    }

    // The values every later read must still find, unless a set replaced them.
    struct Expected
    {
        std::string Key, Name;
        std::optional<RegistryValue> Value;
    };
    std::vector<Expected> expected;
    for (const std::string& key : keys) {
        for (const std::string& name : names)
            expected.push_back({key, name, file.Find(key, name)});
    }
    for (const SetValue& set : sets)
        expected.push_back({set.Key, set.Name, std::nullopt});
    std::vector<bool> hadKey;
    for (const std::string& key : keys)
        hadKey.push_back(file.HasKey(key));

    // What the program does: make its key when missing, then set values.
    if (!file.HasKey(kProgramKey))
        file.AddKey(kProgramKey);
    for (const SetValue& set : sets)
        file.Set(set.Key, set.Name, set.Value);
    for (Expected& e : expected) {
        for (const SetValue& set : sets) {
            if (Lower(set.Key) == Lower(e.Key) && Lower(set.Name) == Lower(e.Name))
                e.Value = set.Value;
        }
    }

    const std::string written = file.Text();
    const KeyFileText reread = KeyFileText::Parse(written);
    if (reread.Text() != written)
        return "the written text does not parse back to itself";
    if (!reread.HasKey(kProgramKey))
        return "the program's key is missing after it was made";
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (hadKey[k] && !reread.HasKey(keys[k]))
            return "key [" + keys[k] + "] was lost";
    }
    for (const Expected& e : expected) {
        const std::optional<RegistryValue> found = reread.Find(e.Key, e.Name);
        if (found != e.Value)
            return "value \"" + e.Name + "\" of [" + e.Key + "] reads back as " + Describe(found) +
                   " instead of " + Describe(e.Value);
    }
    return {};
}

} // namespace fuzzcheck
