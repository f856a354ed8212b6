#include "app/SplitCommand.h"

#include "app/ConsoleHost.h"
#include "app/SplitOptions.h"
#include "engine/SplitBatch.h"
#include "settings/SettingsIO.h"
#include "settings/VersionInfo.h"

#include <ostream>

int RunSplitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const std::function<void(const std::string&)>& opener)
{
    SplitOptions options;
    try {
        options = ParseSplitOptions(args);
    } catch (const UsageError& e) {
        err << "quirefold-split: " << PrintableLine(e.what()) << "\n"
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
        options.Defaults ? SplitSettings::WhenNothingStored(LinkImageFolder()) : InitialSettings();
    for (const auto& change : options.Overrides)
        change(settings);
    if (options.Save)
        SaveSettings(settings);
    // Storing settings is a job of its own: nothing to split, nothing failed.
    if (options.Files.empty())
        return 0;

    std::vector<std::string> files;
    for (const std::string& file : options.Files)
        files.push_back(AbsolutePath(file));
    ConsoleHost host(settings, std::move(files), out, err, options.Quiet,
                     options.Open ? opener : std::function<void(const std::string&)>());
    SplitBatch batch(host);
    host.SetStopAction([&batch] { batch.Stop(); });
    const SplitBatchResult result = batch.Run();
    out.flush();
    return result.Split == 0 || result.Failed > 0 || result.Stopped ? 1 : 0;
}
