// Appends status lines to the status pane as a long split does (batches, each followed by a
// run of the event loop that paints), once into TStatusMemo and once into a QPlainTextEdit.
// Usage: quirefold-bench-memo [LINES [BATCH [RUNS [memo|edit|both]]]]
#include "controls/StatusMemo.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// Lines of about 90 characters, each different, like the split run's page lines.
std::vector<QStringList> MakeBatches(int lines, int batchSize)
{
    std::vector<QStringList> batches;
    QStringList batch;
    for (int i = 0; i < lines; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
        batch.append(QStringLiteral("   Writing page /tmp/quirefold-bench/documents/doc") + number +
                     QStringLiteral(".html, section ") + number + QStringLiteral(" of the manual"));
        if (batch.size() == batchSize) {
            batches.push_back(batch);
            batch.clear();
        }
    }
    if (!batch.isEmpty())
        batches.push_back(batch);
    return batches;
}

// Processor seconds of this process: on a busy machine the wall clock also counts the time
// spent waiting for a processor.
double CpuSeconds()
{
#ifdef _WIN32
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
#endif
}

struct Times
{
    double Append = 0;
    double Paint = 0;
    double Total() const { return Append + Paint; }
};

// Processor seconds for all batches, the pane shown and painted after each: in the pane's own
// calls, and in the event loop that paints it.
Times TimeRun(QWidget& pane, const std::vector<QStringList>& batches,
              const std::function<void(const QStringList&)>& append)
{
    pane.resize(620, 300);
    pane.show();
    QApplication::processEvents();
    Times times;
    for (const QStringList& batch : batches) {
        const double start = CpuSeconds();
        append(batch);
        const double appended = CpuSeconds();
        QApplication::processEvents();
        times.Append += appended - start;
        times.Paint += CpuSeconds() - appended;
    }
    // The end of the text on screen belongs to the run.
    const double start = CpuSeconds();
    pane.repaint();
    QApplication::processEvents();
    times.Paint += CpuSeconds() - start;
    pane.hide();
    return times;
}

// The run with the median total.
Times Median(std::vector<Times> values)
{
    std::sort(values.begin(), values.end(),
              [](const Times& a, const Times& b) { return a.Total() < b.Total(); });
    return values[values.size() / 2];
}

void Print(const char* name, const Times& times, int lines)
{
    std::printf("  %-15s %.3f s processor time, %.2f us a line (appending %.2f, painting %.2f)\n",
                name, times.Total(), times.Total() * 1e6 / lines, times.Append * 1e6 / lines,
                times.Paint * 1e6 / lines);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 80000;
    const int batchSize = argc > 2 ? std::atoi(argv[2]) : 250;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    // One of the two alone, for a profiler.
    const QString only = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("both");
    if (lines <= 0 || batchSize <= 0 || runs <= 0) {
        std::fprintf(stderr,
                     "usage: quirefold-bench-memo [LINES [BATCH [RUNS [memo|edit|both]]]]\n");
        return 2;
    }
    const std::vector<QStringList> batches = MakeBatches(lines, batchSize);

    std::vector<Times> memoTimes;
    std::vector<Times> editTimes;
    for (int run = 0; run < runs; ++run) {
        if (only != QLatin1String("edit")) {
            TStatusMemo memo;
            memoTimes.push_back(TimeRun(memo, batches, [&memo](const QStringList& batch) {
                memo.AppendLines(batch);
                memo.MoveCaretToEnd();
                memo.EnsureCaretVisible();
            }));
            if (memo.LineCount() != lines || !memo.IsLineFullyVisible(lines - 1)) {
                std::fprintf(stderr, "bench: the status pane lost lines or the end\n");
                return 1;
            }
        }
        if (only != QLatin1String("memo")) {
            QPlainTextEdit edit;
            edit.setUndoRedoEnabled(false);
            editTimes.push_back(TimeRun(edit, batches, [&edit](const QStringList& batch) {
                edit.appendPlainText(batch.join(u'\n'));
                edit.moveCursor(QTextCursor::End);
                edit.ensureCursorVisible();
            }));
        }
    }
    std::printf("%d lines in batches of %d, median of %d runs\n", lines, batchSize, runs);
    if (!memoTimes.empty())
        Print("TStatusMemo", Median(memoTimes), lines);
    if (!editTimes.empty())
        Print("QPlainTextEdit", Median(editTimes), lines);
    if (!memoTimes.empty() && !editTimes.empty())
        std::printf("  ratio QPlainTextEdit / TStatusMemo: %.1f\n",
                    Median(editTimes).Total() / Median(memoTimes).Total());
    return 0;
}
