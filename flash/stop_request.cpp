#include "flash/stop_request.h"

StopRequest::Answer StopRequest::Request()
{
    std::uint8_t expected = kOpen;
    if (state_.compare_exchange_strong(expected, kRequested) || expected == kRequested)
        return Answer::Taken;
    late_.fetch_add(1);
    return Answer::TooLate;
}

bool StopRequest::Close()
{
    std::uint8_t expected = kOpen;
    return state_.compare_exchange_strong(expected, kClosed) || expected == kClosed;
}

void StopRequest::Clear()
{
    state_.store(kOpen);
    late_.store(0);
}
