#include "app/SplitCommand.h"

#include "app/ConsoleHost.h"
#include "app/SplitOptions.h"
#include "engine/SplitRun.h"
#include "settings/SettingsIO.h"
#include "settings/VersionInfo.h"

#include <filesystem>
#include <ostream>

namespace {

// Relative paths are taken against the working directory; symbolic links stay as given.
std::string AbsolutePath(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}

} // namespace

int RunSplitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const std::function<void(const std::string&)>& opener)
{
    SplitOptions options;
    try {
        options = ParseSplitOptions(args);
    } catch (const UsageError& e) {
        err << "quirefold-split: " << e.what() << "\n"
            << "Try 'quirefold-split --help' for more information.\n";
        return 2;
    }
    if (options.Help) {
        out << SplitUsageText();
        return 0;
    }
    if (options.Version) {
        const auto info = ProgramVersionInfo();
        out << "quirefold-split (Quirefold) " << (info ? info->FileVersion : "") << "\n";
        return 0;
    }

    SplitSettings settings =
        options.Defaults ? SplitSettings::WhenNothingStored(ProgramFolder()) : InitialSettings();
    for (const auto& change : options.Overrides)
        change(settings);
    if (options.Save)
        SaveSettings(settings);

    ConsoleHost host(settings, out, options.Quiet,
                     options.Open ? opener : std::function<void(const std::string&)>());
    for (const std::string& file : options.Files) {
        // After a Stop no further document is split.
        if (host.Stopped())
            break;
        const std::string path = AbsolutePath(file);
        host.BeginDocument(path);
        SplitFile(path, host);
    }
    out.flush();
    return host.Failed() || host.Stopped() ? 1 : 0;
}
