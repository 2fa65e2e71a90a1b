// Time that passes at once and is counted, and the most a 64 KiB run may
// wait: its fixed wait, 26 ready polls, the pause after them and ten INQUIRY
// retries.
#pragma once

#include <cstdint>

#include "flash/clock.h"

class FakeClock : public Clock {
public:
    void Sleep(std::uint32_t milliseconds) override { waited += milliseconds; }
    std::uint64_t waited = 0;
};

constexpr std::uint64_t kMostWaitMs = 4000 + 26 * 1000 + 1000 + 10 * 1000;
