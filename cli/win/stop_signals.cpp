#include "cli/stop_signals.h"

#include "cli/win/console_stop.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace {

// The stops the console's requests ask. The system calls the handler on a
// thread of its own, at any moment: it reaches only what is lock-free.
std::atomic<StopRequest*> g_stops[StopOnSignals::kMaxStops];
std::atomic<bool> g_watching{false};

} // namespace

BOOL WINAPI OnConsoleRequest(DWORD request)
{
    for (auto& slot : g_stops)
        if (StopRequest* stop = slot.load())
            stop->Request();
    switch (request) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return TRUE; // asked, not obeyed: the runs end themselves
    default:
        // Closing the console, logging off, shutting down: the system ends
        // the process once this returns, or a few seconds on. A run before
        // its save stops at its next block, within a moment; a saved one
        // cannot be kept alive here anyway, and the system ends it.
        for (int i = 0; i < 40 && g_watching.load(); ++i)
            ::Sleep(100);
        return FALSE;
    }
}

StopOnSignals::StopOnSignals(const std::vector<StopRequest*>& stops)
{
    if (stops.size() > kMaxStops)
        throw std::length_error("more runs than Ctrl-C can stop: " + std::to_string(stops.size()) + " of at most " +
                                std::to_string(kMaxStops));
    for (std::size_t i = 0; i < kMaxStops; ++i)
        g_stops[i].store(i < stops.size() ? stops[i] : nullptr);
    g_watching.store(true);
    ::SetConsoleCtrlHandler(OnConsoleRequest, TRUE);
}

StopOnSignals::~StopOnSignals()
{
    ::SetConsoleCtrlHandler(OnConsoleRequest, FALSE);
    for (auto& slot : g_stops)
        slot.store(nullptr);
    g_watching.store(false);
}
