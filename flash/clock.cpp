#include "flash/clock.h"

#include <chrono>
#include <thread>

namespace {

class RealClock final : public Clock {
public:
    void Sleep(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

RealClock g_realClock;
Clock* g_clock = &g_realClock;

} // namespace

Clock* SetClock(Clock* clock)
{
    Clock* previous = g_clock;
    g_clock = clock ? clock : &g_realClock;
    return previous == &g_realClock ? nullptr : previous;
}

void SleepMs(std::uint32_t milliseconds) { g_clock->Sleep(milliseconds); }
