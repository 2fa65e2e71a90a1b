// Every fixed wait of a run goes through here, so that tests can replace the
// passage of time and still see which waits were asked for.
#pragma once

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// Installs `clock` (null restores the real one) and returns the previous one.
Clock* SetClock(Clock* clock);
void SleepMs(std::uint32_t milliseconds);
