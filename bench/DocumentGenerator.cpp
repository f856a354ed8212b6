#include "bench/DocumentGenerator.h"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr std::array<std::string_view, 96> kWords = {
    "the",         "pump",     "valve",    "pressure",   "reading", "of",        "a",
    "controller",  "and",      "manual",   "setting",    "is",      "to",        "when",
    "calibrate",   "sensor",   "output",   "flow",       "rate",    "with",      "each",
    "cycle",       "operator", "panel",    "shows",      "in",      "for",       "reservoir",
    "level",       "alarm",    "must",     "be",         "checked", "before",    "after",
    "maintenance", "filter",   "replaced", "every",      "hours",   "seal",      "gasket",
    "housing",     "bracket",  "mounted",  "on",         "frame",   "power",     "supply",
    "voltage",     "current",  "limit",    "exceeds",    "rated",   "value",     "then",
    "system",      "stops",    "restarts", "only",       "once",    "fault",     "cleared",
    "log",         "records",  "time",     "event",      "code",    "table",     "lists",
    "typical",     "causes",   "remedies", "note",       "that",    "this",      "chapter",
    "describes",   "how",      "install",  "configure",  "operate", "service",   "unit",
    "safely",      "under",    "normal",   "conditions", "by",      "qualified", "staff",
    "use",         "only",     "approved", "parts",      "as",
};

constexpr std::string_view kStyleRules = R"(  html { background: #f4f2ee; }
  body { font-family: "Georgia", "Times New Roman", serif; font-size: 16px; line-height: 1.55;
         color: #222; max-width: 46em; margin: 0 auto; padding: 1em 2em 3em; background: #fff; }
  h1, h2, h3 { font-family: "Helvetica Neue", Arial, sans-serif; color: #1d3f69; line-height: 1.2; }
  h1 { font-size: 2em; border-bottom: 3px solid #2a5a94; padding-bottom: 0.2em; margin-top: 1.2em; }
  h2 { font-size: 1.5em; border-bottom: 1px solid #c9d6e6; margin-top: 1.6em; }
  h3 { font-size: 1.15em; margin-top: 1.4em; }
  p { margin: 0.6em 0; text-align: justify; hyphens: auto; }
  a { color: #2a5a94; text-decoration: none; }
  a:hover { text-decoration: underline; }
  code, pre { font-family: "DejaVu Sans Mono", Consolas, monospace; font-size: 0.9em; }
  pre { background: #f6f8fa; border: 1px solid #dde3ea; border-radius: 4px; padding: 0.6em 0.9em;
        overflow-x: auto; }
  table.data { border-collapse: collapse; margin: 1em 0; width: 100%; }
  table.data th { background: #e8eef6; text-align: left; border-bottom: 2px solid #2a5a94; }
  table.data th, table.data td { padding: 0.3em 0.6em; border-top: 1px solid #dde3ea; }
  table.data tr:nth-child(even) td { background: #fafbfc; }
  ul, ol { margin: 0.6em 0 0.6em 1.6em; padding: 0; }
  li { margin: 0.2em 0; }
  .note { border-left: 4px solid #e0a100; background: #fff8e1; padding: 0.4em 0.8em; }
  .warning { border-left: 4px solid #c0392b; background: #fdecea; padding: 0.4em 0.8em; }
  p.quirefold_breadcrumb_p { font: 0.85em "Helvetica Neue", Arial, sans-serif; color: #667;
                             border-bottom: 1px dotted #c9d6e6; padding-bottom: 0.3em; }
  a.quirefold_breadcrumb_a { color: #2a5a94; }
  p.quirefold_link_p { font: 0.9em "Helvetica Neue", Arial, sans-serif; margin: 0.8em 0; }
  a.quirefold_link_a { display: inline-block; padding: 0.15em 0.8em; border: 1px solid #2a5a94;
                       border-radius: 3px; background: #eef3f9; }
  a.quirefold_index_a { font: 0.95em "Helvetica Neue", Arial, sans-serif; line-height: 1.7; }
)";

} // namespace

DocumentGenerator::DocumentGenerator(DocumentSpec spec) : m_spec(spec), m_state(spec.Seed)
{
    if (m_spec.Sections < 1)
        throw std::invalid_argument("at least one section is needed");
    if (m_spec.Size < MinimumSize(m_spec.Sections))
        throw std::invalid_argument("size too small for that many sections (at least " +
                                    std::to_string(MinimumSize(m_spec.Sections)) + " bytes)");
}

std::uint64_t DocumentGenerator::MinimumSize(int sections)
{
    // Head and tail take under 8 KiB; each section needs room for a long heading.
    return 8192 + static_cast<std::uint64_t>(sections) * 1024;
}

// splitmix64: tiny, fast and the same on every platform.
std::uint64_t DocumentGenerator::Next()
{
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

int DocumentGenerator::Between(int low, int high)
{
    return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
}

std::string_view DocumentGenerator::Word()
{
    return kWords[Next() % kWords.size()];
}

void DocumentGenerator::AppendHead(std::string& out)
{
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"generator\" content=\"quirefold-docgen\">\n"
           "<title>Service Manual for the Model 7 Pump Controller</title>\n<style>\n";
    out += kStyleRules;
    // Per-component colour rules, the way long manuals accumulate them.
    for (int i = 0; i < 40; ++i) {
        const unsigned colour = static_cast<unsigned>(Next() & 0xffffffu);
        char rule[160];
        std::snprintf(rule, sizeof rule,
                      "  .part-%02d { color: #%06x; margin: 0.%dem 0 0.%dem %dpx; }\n"
                      "  .part-%02d:hover { background: #f%05x; }\n",
                      i, colour, i % 9, (i + 3) % 9, 4 * (i % 7), i, colour & 0xfffffu);
        out += rule;
    }
    out += "</style>\n</head>\n<body class=\"manual\" lang=\"en\">\n";
    m_column = 0;
}

void DocumentGenerator::AppendHeading(std::string& out, int level, int number)
{
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    const char digit = static_cast<char>('0' + level);
    out += "<h";
    out += digit;
    // With cross links only split headings carry an anchor, and exactly one: an H3's "sN"
    // would clash with a section's.
    const bool splitHeading = level < 3;
    const bool withId = !m_spec.CrossLinks || splitHeading;
    const std::uint64_t attributes = Next() % 4;
    switch (attributes) {
    case 0:
        break;
    case 1:
        if (withId)
            out += " id=\"s" + std::to_string(number) + "\"";
        break;
    default:
        out += " class=\"topic\"";
        if (withId)
            out += " id=\"s" + std::to_string(number) + "\"";
        break;
    }
    out += '>';
    std::string anchorName;
    if (Next() % 6 == 0 && !m_spec.CrossLinks)
        anchorName = "n" + std::to_string(number);
    else if (m_spec.CrossLinks && splitHeading && attributes == 0)
        anchorName = "s" + std::to_string(number);
    const bool anchored = !anchorName.empty();
    if (anchored)
        out += "<a name=\"" + anchorName + "\">";
    out += std::to_string(number);
    out += ". ";
    const int words = Between(2, 6);
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            out += ' ';
        std::string_view w = Word();
        if (i == 0) {
            out += static_cast<char>(w[0] - 'a' + 'A');
            out += w.substr(1);
        } else if (i == words - 1 && Next() % 5 == 0) {
            out += "<em>";
            out += w;
            out += "</em>";
        } else {
            out += w;
        }
    }
    if (anchored)
        out += "</a>";
    out += "</h";
    out += digit;
    out += ">\n";
    m_column = 0;
}

// A short paragraph that refers to another section, so the link leaves the page.
void DocumentGenerator::AppendCrossLink(std::string& out, int number)
{
    int target = number;
    if (m_spec.Sections > 1) {
        target = Between(1, m_spec.Sections - 1);
        if (target >= number)
            ++target;
    }
    const std::string text = std::to_string(target);
    out += "<p>See <a href=\"#s" + text + "\">section " + text + "</a>. ";
    m_column = out.size() - (out.rfind('\n') + 1);
    AppendText(out, static_cast<std::size_t>(Between(4, 12)), true);
    out += "</p>\n";
    m_column = 0;
}

// Words with occasional inline markup, wrapped near 80 columns as editors write them.
void DocumentGenerator::AppendText(std::string& out, std::size_t words, bool inlineMarkup)
{
    bool sentenceStart = true;
    for (std::size_t i = 0; i < words; ++i) {
        if (i > 0) {
            if (m_column > 78) {
                out += '\n';
                m_column = 0;
            } else {
                out += ' ';
                ++m_column;
            }
        }
        const std::size_t before = out.size();
        std::string_view w = Word();
        const std::uint64_t pick = inlineMarkup ? Next() % 40 : 99;
        if (pick == 0) {
            out += "<b>";
            out += w;
            out += "</b>";
        } else if (pick == 1) {
            out += "<i>";
            out += w;
            out += "</i>";
        } else if (pick == 2) {
            out += "<code>";
            out += w;
            out += "_";
            out += std::to_string(Between(1, 99));
            out += "</code>";
        } else if (pick == 3 && m_spec.CrossLinks) {
            out += w; // the section's one link comes from AppendCrossLink
        } else if (pick == 3) {
            out += "<a href=\"#s";
            out += std::to_string(Between(1, m_spec.Sections));
            out += "\">";
            out += w;
            out += "</a>";
        } else if (pick == 4) {
            out += "&amp; ";
            out += w;
        } else if (sentenceStart) {
            out += static_cast<char>(w[0] - 'a' + 'A');
            out += w.substr(1);
        } else {
            out += w;
        }
        sentenceStart = false;
        if (i + 1 < words && Next() % 11 == 0) {
            out += Next() % 3 == 0 ? ',' : '.';
            sentenceStart = out.back() == '.';
        }
        m_column += out.size() - before;
    }
    out += '.';
    ++m_column;
}

// Plain text of exactly the given number of bytes.
void DocumentGenerator::AppendExactText(std::string& out, std::size_t bytes)
{
    const std::size_t end = out.size() + bytes;
    while (out.size() < end) {
        if (m_column > 78) {
            out += '\n';
            m_column = 0;
            continue;
        }
        std::string_view w = Word();
        const std::size_t room = end - out.size();
        if (w.size() + 1 > room) {
            out.append(room, 'e');
            m_column += room;
            break;
        }
        out += w;
        out += ' ';
        m_column += w.size() + 1;
    }
}

void DocumentGenerator::AppendParagraph(std::string& out)
{
    const std::uint64_t kind = Next() % 10;
    out += kind == 0 ? "<p class=\"note\">" : kind == 1 ? "<p class=\"warning\">" : "<p>";
    m_column = out.size() - (out.rfind('\n') + 1);
    AppendText(out, static_cast<std::size_t>(Between(30, 140)), true);
    out += "</p>\n";
    m_column = 0;
}

void DocumentGenerator::AppendList(std::string& out)
{
    const bool ordered = Next() % 3 == 0;
    out += ordered ? "<ol>\n" : "<ul>\n";
    const int items = Between(3, 8);
    for (int i = 0; i < items; ++i) {
        out += "  <li>";
        m_column = 6;
        AppendText(out, static_cast<std::size_t>(Between(4, 20)), true);
        out += "</li>\n";
    }
    out += ordered ? "</ol>\n" : "</ul>\n";
    m_column = 0;
}

void DocumentGenerator::AppendTable(std::string& out)
{
    const int columns = Between(3, 6);
    const int rows = Between(3, 12);
    out += "<table class=\"data\">\n<tr>";
    for (int c = 0; c < columns; ++c) {
        std::string_view w = Word();
        out += "<th>";
        out += static_cast<char>(w[0] - 'a' + 'A');
        out += w.substr(1);
        out += "</th>";
    }
    out += "</tr>\n";
    for (int r = 0; r < rows; ++r) {
        out += "<tr>";
        for (int c = 0; c < columns; ++c) {
            out += "<td>";
            if (c == 0) {
                out += Word();
            } else if (c % 2 == 1) {
                out += std::to_string(Between(0, 9999));
                out += '.';
                out += std::to_string(Between(0, 9));
            } else {
                out += Word();
                out += ' ';
                out += Word();
            }
            out += "</td>";
        }
        out += "</tr>\n";
    }
    out += "</table>\n";
    m_column = 0;
}

void DocumentGenerator::AppendCode(std::string& out)
{
    out += "<pre><code>";
    const int lines = Between(3, 10);
    for (int i = 0; i < lines; ++i) {
        switch (Next() % 4) {
        case 0:
            out += "set ";
            out += Word();
            out += '.';
            out += Word();
            out += " = ";
            out += std::to_string(Between(0, 500));
            break;
        case 1:
            out += "if (";
            out += Word();
            out += " &lt; ";
            out += std::to_string(Between(1, 80));
            out += ") alarm(&quot;";
            out += Word();
            out += "&quot;);";
            break;
        case 2:
            out += "# ";
            out += Word();
            out += ' ';
            out += Word();
            out += ' ';
            out += Word();
            break;
        default:
            out += "    log --";
            out += Word();
            out += " &gt;&gt; /var/log/pump.log";
            break;
        }
        out += '\n';
    }
    out += "</code></pre>\n";
    m_column = 0;
}

void DocumentGenerator::AppendComment(std::string& out)
{
    out += "<!-- revised ";
    out += std::to_string(Between(2015, 2024));
    out += '-';
    out += std::to_string(Between(10, 12));
    out += '-';
    out += std::to_string(Between(10, 28));
    out += ": ";
    m_column = 25;
    AppendText(out, static_cast<std::size_t>(Between(4, 24)), false);
    out += " -->\n";
    m_column = 0;
}

void DocumentGenerator::AppendBlock(std::string& out)
{
    const std::uint64_t pick = Next() % 100;
    if (pick < 70)
        AppendParagraph(out);
    else if (pick < 80)
        AppendList(out);
    else if (pick < 88)
        AppendTable(out);
    else if (pick < 94)
        AppendCode(out);
    else
        AppendComment(out);
}

void DocumentGenerator::Flush(std::string& out, const Sink& sink, bool force)
{
    if (out.empty() || (!force && out.size() < (1u << 20)))
        return;
    sink(out);
    m_stats.Bytes += out.size();
    out.clear();
}

DocumentStats DocumentGenerator::Write(const Sink& sink)
{
    static constexpr std::string_view kTail = "</body>\n</html>\n";
    m_stats = {};
    std::string out;
    out.reserve(2u << 20);

    AppendHead(out);
    const std::uint64_t headBytes = out.size();
    const std::uint64_t body = m_spec.Size - headBytes - kTail.size();
    const std::uint64_t perSection = body / static_cast<std::uint64_t>(m_spec.Sections);
    std::uint64_t extra = body % static_cast<std::uint64_t>(m_spec.Sections);

    std::string section;
    std::string block;
    int h3 = 0;
    for (int s = 0; s < m_spec.Sections; ++s) {
        const std::size_t budget = perSection + (s == 0 ? extra : 0);
        section.clear();
        if (s == 0) {
            // What precedes the first heading stays on page 1.
            section += "<p class=\"note\">";
            m_column = 16;
            AppendText(section, 24, true);
            section += "</p>\n";
        }
        // One H1 in eight; the rest are H2 below it.
        const int level = s % 8 == 0 ? 1 : 2;
        AppendHeading(section, level, s + 1);
        (level == 1 ? m_stats.H1 : m_stats.H2)++;
        if (m_spec.CrossLinks)
            AppendCrossLink(section, s + 1);

        static constexpr std::size_t kFillerMarkup = 8; // "<p>" + "</p>\n"
        while (true) {
            block.clear();
            const bool subheading = Next() % 12 == 0;
            if (subheading) {
                AppendHeading(block, 3, ++h3);
                AppendParagraph(block);
            } else {
                AppendBlock(block);
            }
            if (section.size() + block.size() + kFillerMarkup + 1 > budget)
                break;
            if (subheading)
                ++m_stats.H3;
            section += block;
        }
        const std::size_t room = budget - section.size();
        if (room > kFillerMarkup) {
            section += "<p>";
            m_column = 3;
            AppendExactText(section, room - kFillerMarkup);
            section += "</p>\n";
        } else {
            section.append(room, '\n');
        }
        out += section;
        Flush(out, sink, false);
    }
    out += kTail;
    Flush(out, sink, true);
    return m_stats;
}

bool ParseByteSize(std::string_view text, std::uint64_t& bytes)
{
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (UINT64_MAX - 9) / 10)
            return false;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (i == 0)
        return false;
    std::string_view unit = text.substr(i);
    int shift = 0;
    if (unit.empty() || unit == "B")
        shift = 0;
    else if (unit == "K" || unit == "KiB" || unit == "k")
        shift = 10;
    else if (unit == "M" || unit == "MiB")
        shift = 20;
    else if (unit == "G" || unit == "GiB")
        shift = 30;
    else
        return false;
    if (shift > 0 && value > (UINT64_MAX >> shift))
        return false;
    bytes = value << shift;
    return true;
}
