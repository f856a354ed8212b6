#include "settings/KeyFileText.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string Trim(const std::string& s)
{
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads 1..maxDigits hex digits at pos.
bool ParseHexNumber(const std::string& s, std::size_t& pos, std::size_t maxDigits,
                    std::uint32_t& out)
{
    std::size_t digits = 0;
    std::uint32_t value = 0;
    while (pos < s.size() && HexDigit(s[pos]) >= 0) {
        if (++digits > maxDigits)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(HexDigit(s[pos]));
        ++pos;
    }
    out = value;
    return digits > 0;
}

void SkipBlanks(const std::string& s, std::size_t& pos)
{
    while (pos < s.size() && IsBlank(s[pos]))
        ++pos;
}

bool OnlyBlanksFrom(const std::string& s, std::size_t pos)
{
    SkipBlanks(s, pos);
    return pos == s.size();
}

// A quoted text with \\ and \" escapes; any other backslash is taken literally, so hand-written
// Windows paths survive.
bool ParseQuoted(const std::string& s, std::size_t& pos, std::string& out)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"')
            return true;
        if (c == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"'))
            c = s[pos++];
        out += c;
    }
    return false;
}

std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

bool StartsWithNoCase(const std::string& s, std::size_t pos, const char* prefix)
{
    for (; *prefix; ++prefix, ++pos) {
        if (pos >= s.size() || LowerAscii(s[pos]) != *prefix)
            return false;
    }
    return true;
}

bool ParseHexBytes(const std::string& s, std::size_t pos, std::string& out)
{
    out.clear();
    SkipBlanks(s, pos);
    if (pos == s.size())
        return true;
    while (true) {
        SkipBlanks(s, pos);
        std::uint32_t byte = 0;
        if (!ParseHexNumber(s, pos, 2, byte))
            return false;
        out += static_cast<char>(byte);
        SkipBlanks(s, pos);
        if (pos == s.size())
            return true;
        if (s[pos] != ',')
            return false;
        ++pos;
        // Some tools leave a comma after the last byte.
        if (OnlyBlanksFrom(s, pos))
            return true;
    }
}

// Reads the value name and the '=' of a value line; pos is left at the start of the data.
bool ParseName(const std::string& s, std::size_t& pos, std::string& name)
{
    pos = 0;
    SkipBlanks(s, pos);
    if (pos < s.size() && s[pos] == '@') {
        name.clear();
        ++pos;
    } else if (!ParseQuoted(s, pos, name)) {
        return false;
    }
    SkipBlanks(s, pos);
    if (pos >= s.size() || s[pos] != '=')
        return false;
    ++pos;
    SkipBlanks(s, pos);
    return true;
}

// Parses one logical value line ("name"=data), continuation lines already joined.
bool ParseValue(const std::string& s, std::string& name, RegistryValue& value)
{
    std::size_t pos = 0;
    if (!ParseName(s, pos, name))
        return false;

    if (pos < s.size() && s[pos] == '"') {
        std::string text;
        if (!ParseQuoted(s, pos, text) || !OnlyBlanksFrom(s, pos))
            return false;
        value = RegistryValue::String(text);
        return true;
    }
    if (StartsWithNoCase(s, pos, "dword:")) {
        pos += 6;
        std::uint32_t number = 0;
        if (!ParseHexNumber(s, pos, 8, number) || !OnlyBlanksFrom(s, pos))
            return false;
        value = RegistryValue::Dword(number);
        return true;
    }
    if (StartsWithNoCase(s, pos, "hex")) {
        pos += 3;
        std::uint32_t type = RegType::Binary;
        if (pos < s.size() && s[pos] == '(') {
            ++pos;
            if (!ParseHexNumber(s, pos, 8, type) || pos >= s.size() || s[pos] != ')')
                return false;
            ++pos;
        }
        if (pos >= s.size() || s[pos] != ':')
            return false;
        value.Type = type;
        return ParseHexBytes(s, pos + 1, value.Data);
    }
    return false;
}

bool EndsWithContinuation(const std::string& line)
{
    std::string t = Trim(line);
    return !t.empty() && t.back() == '\\';
}

// The text of a value line, joined with its continuation lines when it carries hex data.
std::string JoinContinued(const std::vector<std::string>& physical, std::size_t first,
                          std::size_t count)
{
    std::string joined;
    for (std::size_t i = first; i < first + count; ++i) {
        std::string t = Trim(physical[i]);
        if (i + 1 < first + count)
            t.pop_back(); // the trailing backslash
        joined += t;
    }
    return joined;
}

bool IsTextSafe(const std::string& data)
{
    // A plain quoted string needs exactly one NUL at the end and nothing that would break the
    // line or be lost by editors.
    if (data.empty() || data.back() != '\0')
        return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

std::string FormatHex(std::string line, const std::string& data)
{
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        auto b = static_cast<unsigned char>(data[i]);
        line += digits[b >> 4];
        line += digits[b & 15];
        if (i + 1 < data.size()) {
            line += ',';
            // Wrap long data the way the registry editor does.
            if (line.size() - line.rfind('\n') > 76)
                line += "\\\n  ";
        }
    }
    return line;
}

} // namespace

RegistryValue RegistryValue::String(const std::string& text)
{
    return {RegType::Sz, text + '\0'};
}

RegistryValue RegistryValue::Dword(std::uint32_t value)
{
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    return {RegType::Dword, data};
}

KeyFileText KeyFileText::Parse(const std::string& text)
{
    KeyFileText result;
    std::vector<std::string> physical;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            physical.push_back(text.substr(start));
            result.m_endsWithNewline = false;
            break;
        }
        physical.push_back(text.substr(start, end - start));
        start = end + 1;
    }

    result.m_crlf = !physical.empty() && physical.front().ends_with('\r');
    int section = -1;
    for (std::size_t i = 0; i < physical.size();) {
        Line line;
        std::string trimmed = Trim(physical[i]);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            result.m_sections.push_back(trimmed.substr(1, trimmed.size() - 2));
            section = static_cast<int>(result.m_sections.size()) - 1;
            line.IsHeader = true;
        }
        line.Section = section;

        std::size_t count = 1;
        if (!line.IsHeader && section >= 0 &&
            (trimmed.starts_with('"') || trimmed.starts_with('@'))) {
            // Hex data may go on over several lines, each but the last ending in a backslash.
            std::size_t dataPos = 0;
            std::string ignored;
            if (ParseName(trimmed, dataPos, ignored) && StartsWithNoCase(trimmed, dataPos, "hex")) {
                while (i + count - 1 < physical.size() - 1 &&
                       EndsWithContinuation(physical[i + count - 1]))
                    ++count;
            }
            line.HasValue = ParseValue(JoinContinued(physical, i, count), line.Name, line.Value);
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (k > 0)
                line.Raw += '\n';
            line.Raw += physical[i + k];
        }
        result.m_lines.push_back(std::move(line));
        i += count;
    }
    return result;
}

std::string KeyFileText::Text() const
{
    std::string out;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i].Raw;
        if (i + 1 < m_lines.size() || m_endsWithNewline)
            out += '\n';
    }
    return out;
}

KeyFileText::Line KeyFileText::TextLine(std::string raw, int section)
{
    Line line;
    line.Raw = std::move(raw);
    line.Section = section;
    return line;
}

std::string KeyFileText::InFileStyle(std::string lines) const
{
    if (!m_crlf)
        return lines;
    std::string out;
    for (char c : lines) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out + '\r';
}

int KeyFileText::LastSectionOf(const std::string& key) const
{
    for (int s = static_cast<int>(m_sections.size()) - 1; s >= 0; --s) {
        if (EqualNoCase(m_sections[static_cast<std::size_t>(s)], key))
            return s;
    }
    return -1;
}

bool KeyFileText::HasKey(const std::string& key) const
{
    return LastSectionOf(key) >= 0;
}

// A file that ends inside hex data (its last line ends with a backslash) would take the next
// line written after it as more of that data. A line that is no hex data ends it there and leaves
// the broken value as unreadable as it was.
void KeyFileText::CloseUnfinishedData()
{
    if (m_lines.empty())
        return;
    Line& last = m_lines.back();
    const std::string trimmed = Trim(last.Raw);
    std::size_t dataPos = 0;
    std::string ignored;
    if (last.IsHeader || last.Section < 0 || last.HasValue ||
        !(trimmed.starts_with('"') || trimmed.starts_with('@')) ||
        !ParseName(trimmed, dataPos, ignored) || !StartsWithNoCase(trimmed, dataPos, "hex") ||
        !EndsWithContinuation(last.Raw.substr(last.Raw.rfind('\n') + 1)))
        return;
    last.Raw += m_crlf ? "\n;\r" : "\n;";
}

void KeyFileText::AddKey(const std::string& key)
{
    CloseUnfinishedData();
    if (m_lines.empty()) {
        m_lines.push_back(TextLine(InFileStyle(Header), -1));
        m_lines.push_back(TextLine(InFileStyle(""), -1));
    } else if (!Trim(m_lines.back().Raw).empty()) {
        m_lines.push_back(TextLine(InFileStyle(""), m_lines.back().Section));
    }
    m_sections.push_back(key);
    int section = static_cast<int>(m_sections.size()) - 1;
    Line header = TextLine(InFileStyle("[" + key + "]"), section);
    header.IsHeader = true;
    m_lines.push_back(header);
    m_lines.push_back(TextLine(InFileStyle(""), section));
    m_endsWithNewline = true;
}

std::vector<std::size_t> KeyFileText::ValueLines(const std::string& key,
                                                 const std::string& name) const
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.HasValue && EqualNoCase(line.Name, name) &&
            EqualNoCase(m_sections[static_cast<std::size_t>(line.Section)], key))
            found.push_back(i);
    }
    return found;
}

std::optional<RegistryValue> KeyFileText::Find(const std::string& key,
                                               const std::string& name) const
{
    std::vector<std::size_t> found = ValueLines(key, name);
    if (found.empty())
        return std::nullopt;
    return m_lines[found.back()].Value;
}

void KeyFileText::Set(const std::string& key, const std::string& name, const RegistryValue& value)
{
    std::vector<std::size_t> found = ValueLines(key, name);
    if (!found.empty()) {
        Line& line = m_lines[found.back()];
        // The registry keeps the spelling the value was created with.
        line.Raw = InFileStyle(FormatValue(line.Name, value));
        line.Value = value;
        for (auto it = found.rbegin() + 1; it != found.rend(); ++it)
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*it));
        return;
    }

    int section = LastSectionOf(key);
    if (section < 0) {
        AddKey(key);
        section = static_cast<int>(m_sections.size()) - 1;
    }
    // After the section's last non-blank line, so the blank line that separates it stays.
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].Section == section && !Trim(m_lines[i].Raw).empty())
            insertAt = i + 1;
    }
    if (insertAt == m_lines.size())
        CloseUnfinishedData();
    Line line = TextLine(InFileStyle(FormatValue(name, value)), section);
    line.HasValue = true;
    line.Name = name;
    line.Value = value;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
    if (insertAt == m_lines.size() - 1)
        m_endsWithNewline = true;
}

std::string KeyFileText::FormatValue(const std::string& name, const RegistryValue& value)
{
    std::string line = name.empty() ? "@=" : Quote(name) + "=";
    if (value.Type == RegType::Sz && IsTextSafe(value.Data))
        return line + Quote(value.Data.substr(0, value.Data.size() - 1));
    if (value.Type == RegType::Dword && value.Data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number =
                (number << 8) | static_cast<unsigned char>(value.Data[static_cast<std::size_t>(i)]);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        return line + buffer;
    }
    if (value.Type == RegType::Binary)
        return FormatHex(line + "hex:", value.Data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.Type));
    return FormatHex(line + prefix, value.Data);
}
