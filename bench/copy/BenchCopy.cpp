// quirefold-bench-copy: runs one copy (or move) job as the file list runs it, for timing
// against cp -a; and makes the tree of small files the benchmark copies.
#include "shell/namespace/FileOperation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int Usage()
{
    std::fputs("usage: quirefold-bench-copy copy|move SOURCE... FOLDER\n"
               "       quirefold-bench-copy make-tree FOLDER FILES\n"
               "copy, move: runs one job, prints its errors and warnings, exits 1 on failure.\n"
               "make-tree: FILES files of 100 bytes to 16 KiB, 100 to a folder, under FOLDER.\n",
               stderr);
    return 2;
}

int MakeTree(const std::string& root, long files)
{
    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(root.c_str());
        return 1;
    }
    std::string bytes(16384, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
    std::uint32_t random = 12345;
    std::string folder;
    for (long i = 0; i < files; ++i) {
        if (i % 100 == 0) {
            folder = root + "/d" + std::to_string(i / 100);
            if (::mkdir(folder.c_str(), 0755) != 0) {
                std::perror(folder.c_str());
                return 1;
            }
        }
        random = random * 1103515245u + 12345u;
        std::size_t size = 100 + (random >> 8) % (bytes.size() - 100);
        std::string path = folder + "/f" + std::to_string(i) + ".txt";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), size) != static_cast<ssize_t>(size) ||
            ::close(fd) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    std::string_view command = argv[1];
    if (command == "make-tree" && argc == 4)
        return MakeTree(argv[2], std::strtol(argv[3], nullptr, 10));
    if ((command != "copy" && command != "move") || argc < 4)
        return Usage();
    std::vector<std::string> sources(argv + 2, argv + argc - 1);
    TFileOperation job(command == "move" ? TFileOperation::foMove : TFileOperation::foCopy,
                       std::move(sources), argv[argc - 1]);
    bool ok = job.Run();
    if (!job.ErrorText().empty())
        std::fprintf(stderr, "%s\n", job.ErrorText().c_str());
    if (!job.WarningText().empty())
        std::fprintf(stderr, "%s\n", job.WarningText().c_str());
    return ok ? 0 : 1;
}
