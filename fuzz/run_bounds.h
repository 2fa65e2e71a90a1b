// What one fuzzed upgrade may take, and the clock that counts it. The image
// (written by the drive target) is 64 KiB of HEX: sixteen blocks, one fixed
// wait of 4 s, then at most 26 ready polls, the pause after them and ten
// INQUIRY retries, a second each.
#pragma once

#include <cstdint>

#include "flash/clock.h"

constexpr std::uint32_t kImageBlocks = 16;
constexpr std::uint64_t kMostWaitMs = 4000 + 26 * 1000 + 1000 + 10 * 1000;

// Time that passes at once and is counted.
class FakeClock : public Clock {
public:
    void Sleep(std::uint32_t milliseconds) override { waited += milliseconds; }
    std::uint64_t waited = 0;
};
