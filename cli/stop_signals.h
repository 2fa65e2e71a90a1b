// Ctrl-C, SIGTERM and SIGHUP during a run: each asks the run's stop request,
// never ends the process. Whether it stops the run is the run's to answer.
#pragma once

#include <csignal>

#include "flash/stop_request.h"

class StopOnSignals {
public:
    // From now on the three signals ask `stop` (and restart interrupted calls).
    explicit StopOnSignals(StopRequest& stop);
    // Puts back what the signals did before.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    struct sigaction previous_[3];
};
