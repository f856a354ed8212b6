#include "fuzz/checks/SplitOptionsCheck.h"

#include "app/SplitOptions.h"
#include "engine/SplitSettings.h"
#include "settings/SettingsTable.h"

#include <exception>
#include <filesystem>
#include <vector>

namespace fuzzcheck {

namespace {

std::vector<std::string> SplitArguments(std::string_view input)
{
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\0', start);
        if (end == std::string_view::npos)
            end = input.size();
        args.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

SplitSettings Apply(const SplitOptions& options, SplitSettings settings)
{
    for (const auto& change : options.Overrides)
        change(settings);
    return settings;
}

// A base that differs from every value an option can set, so that each change shows.
SplitSettings Base()
{
    SplitSettings s;
    s.AddLinks = true;
    s.PreviousLinkText = "base-prev";
    s.BreakOn = 0;
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "base-label";
    s.FixLinks = true;
    s.HeadLinks = true;
    // Absolute, as every folder the command line names becomes.
    s.OutputFolder = std::filesystem::absolute("base-folder").string();
    return s;
}

// The plain form of a parsed command line. Values go with '=' or as the next argument, as
// the original's own byte says, so both spellings are run.
std::vector<std::string> PlainForm(const SplitOptions& options, const SplitSettings& s,
                                   bool separateValues)
{
    std::vector<std::string> args;
    auto flag = [&](bool on, const char* name) {
        if (on)
            args.push_back(std::string("--") + name);
    };
    auto value = [&](const char* name, const std::string& v) {
        if (separateValues) {
            args.push_back(std::string("--") + name);
            args.push_back(v);
        } else {
            args.push_back(std::string("--") + name + "=" + v);
        }
    };
    flag(options.Defaults, "defaults");
    flag(options.Save, "save");
    flag(options.Open, "open");
    flag(options.Quiet, "quiet");
    flag(options.Help, "help");
    flag(options.Version, "version");
    // Every on/off setting, from the table the options come from, so a new one is not left out
    // (the sidebar and the search were).
    for (const StoredSetting& setting : StoredSettings()) {
        if (setting.Kind == StoredKind::Flag)
            args.push_back(std::string(s.*setting.Flag ? "--" : "--no-") + setting.Option);
    }
    value("prev-text", s.PreviousLinkText);
    value("home-text", s.HomeLinkText);
    value("next-text", s.NextLinkText);
    value("prev-image", s.PrevLinkImage);
    value("home-image", s.HomeLinkImage);
    value("next-image", s.NextLinkImage);
    value("breadcrumbs-text", s.BreadcrumbsText);
    value("output-dir", s.OutputFolder);
    if (s.BreakOn != 0)
        value("break-on", std::to_string(s.BreakOn));
    args.push_back("--");
    args.insert(args.end(), options.Files.begin(), options.Files.end());
    return args;
}

bool SameModes(const SplitOptions& a, const SplitOptions& b)
{
    return a.Defaults == b.Defaults && a.Save == b.Save && a.Open == b.Open && a.Quiet == b.Quiet &&
           a.Help == b.Help && a.Version == b.Version;
}

} // namespace

std::string CheckSplitOptions(std::string_view input)
{
    const bool separateValues = !input.empty() && (input.front() & 1);
    const std::vector<std::string> args = SplitArguments(input);
    SplitOptions options;
    try {
        options = ParseSplitOptions(args);
    } catch (const UsageError& e) {
        return std::string(e.what()).empty() ? "a usage error without a message" : "";
    } catch (const std::exception& e) {
        return std::string("the parser raised another error: ") + e.what();
    }

    // Every file named is one of the arguments, in command-line order.
    std::size_t next = 0;
    for (const std::string& file : options.Files) {
        while (next < args.size() && args[next] != file)
            ++next;
        if (next == args.size())
            return "a file that is no argument, or files out of order: " + file;
        ++next;
    }
    if (options.Files.empty() && !options.Help && !options.Version && !options.Save)
        return "a command line without a file was accepted";

    const SplitSettings settings = Apply(options, Base());
    if (settings.BreakOn < 0 || settings.BreakOn > 3)
        return "a break level outside 1..3 was accepted";
    SplitOptions again;
    try {
        again = ParseSplitOptions(PlainForm(options, settings, separateValues));
    } catch (const std::exception& e) {
        return std::string("the plain form of an accepted command line is refused: ") + e.what();
    }
    if (!SameModes(options, again))
        return "the plain form gives other modes";
    if (again.Files != options.Files)
        return "the plain form gives other files";
    if (!(Apply(again, Base()) == settings))
        return "the plain form gives other settings";
    return {};
}

} // namespace fuzzcheck
