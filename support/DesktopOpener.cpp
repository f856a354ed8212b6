#include "support/DesktopOpener.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <shellapi.h> // needs windows.h first
// clang-format on

bool OpenWithDesktop(const std::string& pathBytes, const DesktopOpenRequest& request)
{
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(static_cast<HWND>(request.OwnerWindow), request.Verb, pathBytes.c_str(),
                      nullptr, nullptr, request.Hidden ? SW_HIDE : SW_SHOWNORMAL));
    return result > 32;
}
#else
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

bool OpenWithDesktop(const std::string& pathBytes, const DesktopOpenRequest& request)
{
    (void)request;
#ifdef __APPLE__
    const char* opener = "open";
#else
    const char* opener = "xdg-open";
#endif
    // Double fork, so the handler is not our child and leaves no zombie behind.
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (fork() == 0) {
            execlp(opener, opener, pathBytes.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif
