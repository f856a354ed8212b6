#include "app/StopSignal.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnInterrupt(int signalNumber)
{
    if (g_stopRequested) {
        // Second interrupt: give up at once, with the usual status of a killed program.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    g_stopRequested = 1;
}
} // namespace

void InstallStopSignalHandler()
{
    std::signal(SIGINT, OnInterrupt);
}

bool StopRequested()
{
    return g_stopRequested != 0;
}

void RequestStop()
{
    g_stopRequested = 1;
}

void ClearStopRequest()
{
    g_stopRequested = 0;
}
