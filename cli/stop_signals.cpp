#include "cli/stop_signals.h"

#include <atomic>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The stop the signals ask; a handler may reach only what is lock-free.
std::atomic<StopRequest*> g_stop{nullptr};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

void OnSignal(int)
{
    if (StopRequest* stop = g_stop.load())
        stop->Request();
}

} // namespace

StopOnSignals::StopOnSignals(StopRequest& stop)
{
    g_stop.store(&stop);
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
    g_stop.store(nullptr);
}
