#include "engine/PageManifest.h"

#include <cstdio>

namespace {

// Length of the well-formed UTF-8 sequence at text[pos], or 0 when the byte there starts none
// (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF, cut short).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

void AppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceAt(text, i);
            if (length > 0) {
                out.append(text, i, length);
                i += length;
            } else {
                // Not UTF-8: the byte is taken as the Latin-1 character it would be.
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
                ++i;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

} // namespace

std::string ManifestJson(std::string_view sourceFileName, std::string_view indexFileName,
                         const std::vector<ManifestPage>& pages,
                         const std::vector<std::string>& files)
{
    std::string out = "{\n  \"source\": ";
    AppendJsonString(out, sourceFileName);
    out += ",\n  \"index\": ";
    AppendJsonString(out, indexFileName);
    if (!files.empty()) {
        out += ",\n  \"files\": [";
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i > 0)
                out += ", ";
            AppendJsonString(out, files[i]);
        }
        out += ']';
    }
    out += ",\n  \"pages\": [";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const ManifestPage& page = pages[i];
        out += i == 0 ? "\n    {\"file\": " : ",\n    {\"file\": ";
        AppendJsonString(out, page.File);
        if (page.Level > 0) {
            out += ", \"level\": ";
            out += std::to_string(page.Level);
            out += ", \"heading\": ";
            AppendJsonString(out, page.Heading);
        } else {
            out += ", \"level\": null, \"heading\": null";
        }
        out += ", \"anchors\": [";
        for (std::size_t a = 0; a < page.Anchors.size(); ++a) {
            if (a > 0)
                out += ", ";
            AppendJsonString(out, page.Anchors[a]);
        }
        out += "]}";
    }
    out += pages.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}
