#include "support/DesktopOpener.h"

bool IsPageName(const std::string& pathBytes)
{
    const std::size_t dot = pathBytes.rfind('.');
    if (dot == std::string::npos || pathBytes.find_first_of("/\\", dot) != std::string::npos)
        return false;
    std::string extension = pathBytes.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension == "htm" || extension == "html";
}

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

namespace {

// A page goes to the web browser when the desktop would hand pages to this program: the
// handler of http addresses, started from its desktop entry, or the system's browser.
constexpr const char* kPageOpener = R"(html=$(xdg-mime query default text/html 2>/dev/null)
[ "$html" = "$1" ] || exec xdg-open "$2"
web=$(xdg-mime query default x-scheme-handler/http 2>/dev/null)
if [ -n "$web" ] && [ "$web" != "$1" ]; then
  IFS=:
  for dir in "${XDG_DATA_HOME:-$HOME/.local/share}" ${XDG_DATA_DIRS:-/usr/local/share:/usr/share}; do
    [ -f "$dir/applications/$web" ] && exec gio launch "$dir/applications/$web" "$2"
  done
fi
exec x-www-browser "$2")";

} // namespace

bool OpenWithDesktop(const std::string& pathBytes, const DesktopOpenRequest& request)
{
    (void)request;
    // Double fork, so the handler is not our child and leaves no zombie behind.
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (fork() == 0) {
#ifdef __APPLE__
            execlp("open", "open", pathBytes.c_str(), static_cast<char*>(nullptr));
#else
            if (IsPageName(pathBytes)) {
                execlp("sh", "sh", "-c", kPageOpener, "sh", QUIREFOLD_APP_ID ".desktop",
                       pathBytes.c_str(), static_cast<char*>(nullptr));
            } else {
                execlp("xdg-open", "xdg-open", pathBytes.c_str(), static_cast<char*>(nullptr));
            }
#endif
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
