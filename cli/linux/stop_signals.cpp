#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>
#include <stdexcept>
#include <string>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The stops the signals ask; a handler may reach only what is lock-free.
std::atomic<StopRequest*> g_stops[StopOnSignals::kMaxStops];
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

// What the signals did before; one StopOnSignals is there at a time.
struct sigaction g_previous[3];

void OnSignal(int)
{
    for (auto& slot : g_stops)
        if (StopRequest* stop = slot.load())
            stop->Request();
}

} // namespace

StopOnSignals::StopOnSignals(const std::vector<StopRequest*>& stops)
{
    if (stops.size() > kMaxStops)
        throw std::length_error("more runs than the signals can stop: " + std::to_string(stops.size()) +
                                " of at most " + std::to_string(kMaxStops));
    for (std::size_t i = 0; i < kMaxStops; ++i)
        g_stops[i].store(i < stops.size() ? stops[i] : nullptr);
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
}

StopOnSignals::~StopOnSignals()
{
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    for (auto& slot : g_stops)
        slot.store(nullptr);
}
