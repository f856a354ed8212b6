#include "app/SplitCommand.h"
#include "app/StopSignal.h"
#include "support/DesktopOpener.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv)
{
    InstallStopSignalHandler();
#ifdef SIGXFSZ
    // Past a file size limit, a write should fail and be reported, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunSplitCommand(args, std::cout, std::cerr,
                           [](const std::string& path) { OpenWithDesktop(path); });
}
