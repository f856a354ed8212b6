#include "app/SplitOptions.h"

#include "engine/SplitSettings.h"
#include "settings/SettingsTable.h"

#include <filesystem>
#include <map>
#include <optional>

namespace {

using Override = std::function<void(SplitSettings&)>;

Override SetFlag(bool SplitSettings::*field, bool value)
{
    return [field, value](SplitSettings& s) { s.*field = value; };
}

// Options that take a value, by long name.
std::optional<Override> ValueOverride(const std::string& name, const std::string& value)
{
    if (name == "output-dir") {
        // Taken against the working folder now, as FILEs are; empty: beside the source again.
        // A relative folder that comes from the store is the document's, as in the window.
        const std::string folder = value.empty() ? value : AbsolutePath(value);
        return [folder](SplitSettings& s) { s.OutputFolder = folder; };
    }
    if (name == "break-on") {
        if (value != "1" && value != "2" && value != "3")
            throw UsageError("invalid value '" + value + "' for --break-on (expected 1, 2 or 3)");
        const int level = value[0] - '0';
        return [level](SplitSettings& s) { s.BreakOn = level; };
    }
    // The link texts and images and the breadcrumb label, taken as given.
    for (const StoredSetting& setting : StoredSettings()) {
        if (setting.Text && name == setting.Option) {
            auto field = setting.Text;
            return [field, value](SplitSettings& s) { s.*field = value; };
        }
    }
    return std::nullopt;
}

bool TakesValue(const std::string& name)
{
    return name == "break-on" || name == "output-dir" || name.ends_with("-text") ||
           name.ends_with("-image");
}

} // namespace

std::string AbsolutePath(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}

SplitOptions ParseSplitOptions(const std::vector<std::string>& args)
{
    // Each on/off setting as --NAME and --no-NAME.
    static const std::map<std::string, Override> switches = [] {
        std::map<std::string, Override> flags;
        for (const StoredSetting& setting : StoredSettings()) {
            if (setting.Kind != StoredKind::Flag)
                continue;
            flags.emplace(setting.Option, SetFlag(setting.Flag, true));
            flags.emplace(std::string("no-") + setting.Option, SetFlag(setting.Flag, false));
        }
        return flags;
    }();
    SplitOptions options;
    const std::map<std::string, bool SplitOptions::*> modes = {
        {"defaults", &SplitOptions::Defaults}, {"save", &SplitOptions::Save},
        {"open", &SplitOptions::Open},         {"quiet", &SplitOptions::Quiet},
        {"help", &SplitOptions::Help},         {"version", &SplitOptions::Version},
    };
    const std::map<char, std::string> shortNames = {
        {'b', "break-on"}, {'o', "output-dir"}, {'q', "quiet"}, {'h', "help"}, {'V', "version"}};

    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            options.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        std::string name;
        std::optional<std::string> value;
        if (arg[1] == '-') {
            const std::size_t eq = arg.find('=');
            name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            if (eq != std::string::npos)
                value = arg.substr(eq + 1);
        } else {
            auto it = shortNames.find(arg[1]);
            if (it == shortNames.end())
                throw UsageError("unknown option '" + arg + "'");
            name = it->second;
            if (arg.size() > 2)
                value = arg.substr(2);
        }

        if (auto it = switches.find(name); it != switches.end()) {
            if (value)
                throw UsageError("option '--" + name + "' takes no value");
            options.Overrides.push_back(it->second);
        } else if (auto mode = modes.find(name); mode != modes.end()) {
            if (value)
                throw UsageError("option '--" + name + "' takes no value");
            options.*(mode->second) = true;
        } else {
            if (!TakesValue(name))
                throw UsageError("unknown option '" + arg + "'");
            if (!value) {
                // The value may also follow as the next argument.
                if (i + 1 >= args.size())
                    throw UsageError("option '" + arg + "' needs a value");
                value = args[++i];
            }
            std::optional<Override> change = ValueOverride(name, *value);
            if (!change)
                throw UsageError("unknown option '" + arg + "'");
            options.Overrides.push_back(*change);
        }
    }
    if (options.Files.empty() && !options.Help && !options.Version && !options.Save)
        throw UsageError("no FILE given");
    return options;
}

std::string SplitUsageText()
{
    return "Usage: quirefold-split [OPTIONS] FILE...\n"
           "Splits each HTML document FILE into linked pages, written beside it or into\n"
           "the output folder.\n"
           "\n"
           "Settings start from the stored ones (shared with the desktop program);\n"
           "these options change them for this run:\n"
           "  -b, --break-on=1|2|3      start a page at H1 / H1-H2 / H1-H3 headings\n"
           "      --links, --no-links   write Previous/Home/Next link bars\n"
           "      --prev-text=TEXT      text of the Previous link\n"
           "      --home-text=TEXT      text of the Home link\n"
           "      --next-text=TEXT      text of the Next link\n"
           "      --images, --no-images link bars show images instead of texts\n"
           "      --prev-image=PATH     image of the Previous link\n"
           "      --home-image=PATH     image of the Home link\n"
           "      --next-image=PATH     image of the Next link\n"
           "      --navigation, --no-navigation\n"
           "                            write a frameset page with a navigation pane\n"
           "      --breadcrumbs, --no-breadcrumbs\n"
           "                            write a breadcrumb trail on top of each page\n"
           "      --breadcrumbs-text=TEXT\n"
           "                            label in front of the breadcrumb trail\n"
           "      --fix-links, --no-fix-links\n"
           "                            links to anchors on other pages go to those pages\n"
           "      --page-titles, --no-page-titles\n"
           "                            title each page after its heading\n"
           "      --head-links, --no-head-links\n"
           "                            prev/next/index links in each page's head\n"
           "      --tolerate-missing-body-end, --no-tolerate-missing-body-end\n"
           "                            a document without </body> ends at its end\n"
           "      --manifest, --no-manifest\n"
           "                            write DOCpages.json listing the pages\n"
           "      --sidebar, --no-sidebar\n"
           "                            the contents beside the text of every page, laid\n"
           "                            out by DOCquirefold.css\n"
           "      --search, --no-search\n"
           "                            a search box in the sidebar (or DOCsearch.html)\n"
           "                            over DOCsearch.js, an index of every word\n"
           "  -o, --output-dir=DIR      write the outputs into DIR (empty: beside FILE)\n"
           "      --defaults            start from the built-in defaults, not the store\n"
           "      --save                store the resulting settings (no FILE needed)\n"
           "      --open                open each result with the desktop's default handler\n"
           "  -q, --quiet               print only failure lines\n"
           "  -h, --help                show this help\n"
           "  -V, --version             show the version\n"
           "Each option with a value may also be given as --name VALUE.\n"
           "'--' ends the options: every argument after it is a FILE, even one starting\n"
           "with '-'.\n"
           "\n"
           "Exit status: 0 when every document was split, 1 when one failed or the run\n"
           "was stopped (Ctrl+C), 2 for a usage error.\n";
}
