#include "app/desktop/DesktopCommandLine.h"

#include "settings/VersionInfo.h"

DesktopCommandLine ParseDesktopCommandLine(const std::vector<std::string>& args)
{
    DesktopCommandLine result;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            result.Help = true;
        } else if (!optionsEnded && (arg == "-V" || arg == "--version")) {
            result.Version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (result.Error.empty())
                result.Error = "unknown option '" + arg + "'";
        } else if (result.File.empty() && !arg.empty()) {
            result.File = arg;
        } else if (result.Error.empty()) {
            result.Error = "only one FILE can be given";
        }
    }
    return result;
}

std::string DesktopUsageText()
{
    return "Usage: quirefold [FILE]\n"
           "Split long HTML documents into linked pages.\n"
           "\n"
           "Opens the Quirefold window. With FILE, the window starts in FILE's folder and\n"
           "splits FILE at once with the stored settings.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "quirefold-split splits documents without a window; see quirefold-split --help.\n";
}

std::string DesktopVersionText()
{
    const auto info = ProgramVersionInfo();
    return "quirefold (Quirefold) " + (info ? info->FileVersion : std::string()) + "\n";
}
