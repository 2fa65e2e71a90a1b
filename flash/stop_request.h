// The one stop request of a run. Anyone may ask for a stop at any time (the
// dialog's Close, a signal handler); the engine asks before every block
// whether one came, and before the last block it closes the request: from
// then on the drive holds or is about to hold the whole image, stopping
// would leave it with a half-finished download just as surely as going on,
// and a request is answered "too late" and changes nothing.
//
// Lock-free and without allocation, so a signal handler may call Request.
#pragma once

#include <atomic>
#include <cstdint>

class StopRequest {
public:
    enum class Answer : std::uint8_t {
        Taken,   // the run will stop before its next block
        TooLate, // the last block has gone to the drive: the run goes on
    };

    // Asks the run to stop.
    Answer Request();
    // Whether a request was taken and not cleared.
    bool Requested() const { return state_.load() == kRequested; }
    // The engine, before it hands the last block over: closes the request,
    // or answers false when one was taken first (then the run stops).
    bool Close();
    // How many requests came after Close; a front end tells its user once.
    std::uint32_t LateRequests() const { return late_.load(); }
    // Opens the request for the next run and forgets what came.
    void Clear();

private:
    static constexpr std::uint8_t kOpen = 0, kRequested = 1, kClosed = 2;
    std::atomic<std::uint8_t> state_{kOpen};
    std::atomic<std::uint32_t> late_{0};
    static_assert(std::atomic<std::uint8_t>::is_always_lock_free, "a signal handler calls Request");
};
