// Ctrl-C, SIGTERM and SIGHUP during a run: each asks the stop request of
// every run under way, never ends the process. Whether it stops a run is that
// run's to answer: one that has handed its drive the last block goes on.
#pragma once

#include <csignal>
#include <vector>

#include "flash/stop_request.h"

class StopOnSignals {
public:
    // From now on the three signals ask each of `stops` (and restart
    // interrupted calls). At most kMaxStops.
    explicit StopOnSignals(const std::vector<StopRequest*>& stops);
    // Puts back what the signals did before.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    static constexpr int kMaxStops = 64;

private:
    struct sigaction previous_[3];
};
