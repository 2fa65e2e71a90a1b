// Ctrl-C and the other ways the system asks a program to end (SIGTERM and
// SIGHUP on Linux; Ctrl-Break, closing the console, logging off and shutting
// down on Windows) during a run: each asks the stop request of every run
// under way, never ends the process. Whether it stops a run is that run's to
// answer: one that has handed its drive the last block goes on. Each system
// has its own file of it.
#pragma once

#include <cstddef>
#include <vector>

#include "flash/stop_request.h"

class StopOnSignals {
public:
    // From now on those requests ask each of `stops` (on Linux, restarting
    // interrupted calls). More than kMaxStops throw std::length_error and
    // change nothing: a run the signals could not stop must never start.
    explicit StopOnSignals(const std::vector<StopRequest*>& stops);
    // Puts back what the requests did before.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // The handler reaches the stops through a fixed table: the most runs
    // one program may have under way, and so the most drives of a tower.
    static constexpr std::size_t kMaxStops = 64;
};
