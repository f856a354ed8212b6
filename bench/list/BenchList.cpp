// Fills the shell file list with a large folder and compares the time with listing the same
// folder by `ls -f | grep`, measured side by side; also the memory the items take and the time
// of the refresh after one new file.

#include "shell/widgets/PTShellList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Milliseconds(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

void MakeFolder(const fs::path& folder, int files, int folders)
{
    fs::create_directories(folder);
    for (int i = 0; i < files; ++i) {
        // Half match "*.htm;*.html", a quarter each.
        const char* extension = i % 2 ? ".txt" : (i % 4 ? ".htm" : ".html");
        std::ofstream(folder / ("document " + std::to_string(i) + extension));
    }
    for (int i = 0; i < folders; ++i)
        fs::create_directory(folder / ("folder " + std::to_string(i)));
}

double TimeLs(const fs::path& folder)
{
    std::string command =
        "cd '" + folder.string() + "' && ls -f | grep -ci '\\.html\\?$' >/dev/null";
    auto start = Clock::now();
    int status = std::system(command.c_str());
    double ms = Milliseconds(start);
    if (status == -1)
        std::exit(2);
    return ms;
}

// Everything the user waits for: the items read, sorted and the view laid out and painted.
void Settle(TPTShellList& list)
{
    list.View()->doItemsLayout();
    list.View()->viewport()->repaint();
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WORKFOLDER [RUNS]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    fs::path work = argv[1];
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    fs::path big = work / "big";
    fs::path empty = work / "empty";
    if (!fs::exists(big))
        MakeFolder(big, 50000, 500);
    fs::create_directories(empty);

    TPTShellList list;
    list.resize(900, 600);
    list.SetMultiSelect(true);
    list.SetViewStyle(vsList);
    list.SetFileFilter(QStringLiteral("*.htm;*.html"));
    list.show();
    list.Folder().SetPathName(empty.string());
    Settle(list);
    QApplication::processEvents();
    long emptyKiB = ResidentKiB();

    std::vector<double> lsTimes, fillTimes, refreshTimes;
    long filledKiB = 0;
    for (int run = 0; run < runs; ++run) {
        lsTimes.push_back(TimeLs(big));
        list.Folder().SetPathName(empty.string());
        Settle(list);
        QApplication::processEvents();
        auto start = Clock::now();
        list.Folder().SetPathName(big.string());
        Settle(list);
        fillTimes.push_back(Milliseconds(start));
        if (list.ItemCount() != 25500) {
            std::fprintf(stderr, "unexpected item count %d\n", list.ItemCount());
            return 1;
        }
        QApplication::processEvents();
        filledKiB = std::max(filledKiB, ResidentKiB());

        // One new file: wait for the notice, then time the refresh it brings.
        list.setFocus();
        fs::path added = big / ("added " + std::to_string(run) + ".html");
        std::ofstream(added).close();
        if (!QTest::qWaitFor([&] { return list.ChangeRefreshPending(); }, 5000)) {
            std::fprintf(stderr, "no change notice arrived\n");
            return 1;
        }
        start = Clock::now();
        list.Synchronize(false);
        Settle(list);
        refreshTimes.push_back(Milliseconds(start));
        if (list.ItemCount() != 25501) {
            std::fprintf(stderr, "the new file was not added (%d items)\n", list.ItemCount());
            return 1;
        }
        fs::remove(added);
        if (QTest::qWaitFor([&] { return list.ChangeRefreshPending(); }, 5000))
            list.Synchronize(false);
    }
    double ls = Median(lsTimes);
    double fill = Median(fillTimes);
    double refresh = Median(refreshTimes);
    std::printf(
        "folder: 50,000 files (25,000 matching \"*.htm;*.html\") and 500 subfolders, %d runs\n",
        runs);
    std::printf("ls -f | grep: %.1f ms, list fill: %.1f ms, refresh after one new file: %.2f ms\n",
                ls, fill, refresh);
    std::printf("fill / ls ratio: %.2f (at most 3)\n", fill / ls);
    std::printf("fill seconds: %.3f (under 1)\n", fill / 1000.0);
    std::printf("memory above an empty list MiB: %.1f (at most 64)\n",
                (filledKiB - emptyKiB) / 1024.0);
    std::printf("refresh / fill ratio: %.3f (at most 0.1)\n", refresh / fill);
    bool ok = fill / ls <= 3 && fill < 1000 && (filledKiB - emptyKiB) / 1024.0 <= 64 &&
              refresh / fill <= 0.1;
    return ok ? 0 : 1;
}
