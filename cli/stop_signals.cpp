#include "cli/stop_signals.h"

#include <atomic>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The stops the signals ask; a handler may reach only what is lock-free.
std::atomic<StopRequest*> g_stops[StopOnSignals::kMaxStops];
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

void OnSignal(int)
{
    for (auto& slot : g_stops)
        if (StopRequest* stop = slot.load())
            stop->Request();
}

} // namespace

StopOnSignals::StopOnSignals(const std::vector<StopRequest*>& stops)
{
    for (int i = 0; i < kMaxStops; ++i)
        g_stops[i].store(i < static_cast<int>(stops.size()) ? stops[static_cast<std::size_t>(i)] : nullptr);
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &previous_[i]);
}

StopOnSignals::~StopOnSignals()
{
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &previous_[i], nullptr);
    for (auto& slot : g_stops)
        slot.store(nullptr);
}
