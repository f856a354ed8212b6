// quirefold-measure: runs a command and prints its wall time, peak memory and exit code,
// so the benchmark scripts measure every tool the same way without extra packages.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int Usage()
{
    std::fputs("usage: quirefold-measure [-C DIR] -- COMMAND [ARG...]\n"
               "Prints \"SECONDS MAXRSS_KIB EXITCODE\" on stdout once COMMAND ends.\n"
               "COMMAND's own output goes to stderr.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const char* folder = nullptr;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "-C" && i + 1 < argc)
            folder = argv[++i];
        else
            return Usage();
    }
    if (i >= argc)
        return Usage();

    std::fflush(stdout);
    const double start = Now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("quirefold-measure: fork");
        return 1;
    }
    if (child == 0) {
        // The measured command must not mix its output into our one result line.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        if (folder && chdir(folder) != 0) {
            std::fprintf(stderr, "quirefold-measure: cd %s: %s\n", folder, std::strerror(errno));
            _exit(127);
        }
        execvp(argv[i], argv + i);
        std::fprintf(stderr, "quirefold-measure: %s: %s\n", argv[i], std::strerror(errno));
        _exit(127);
    }

    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("quirefold-measure: wait4");
            return 1;
        }
    }
    const double seconds = Now() - start;
#ifdef __APPLE__
    const long maxRssKib = usage.ru_maxrss / 1024; // bytes there, KiB on Linux
#else
    const long maxRssKib = usage.ru_maxrss;
#endif
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.4f %ld %d\n", seconds, maxRssKib, code);
    return 0;
}
