// The stop request decides a race between a user and the engine: a request
// and the closing before the last block never both win, and never both lose.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "flash/stop_request.h"

namespace {

TEST(StopRequest, TheRequestOrTheClosingWinsNeverBoth)
{
    for (int round = 0; round < 500; ++round) {
        StopRequest stop;
        std::atomic<bool> go{false};
        StopRequest::Answer answer = StopRequest::Answer::TooLate;
        std::thread user([&] {
            while (!go.load()) {
            }
            answer = stop.Request();
        });
        go.store(true);
        const bool closedFirst = stop.Close();
        user.join();
        const bool requestTaken = answer == StopRequest::Answer::Taken;
        ASSERT_NE(closedFirst, requestTaken) << "round " << round;
        EXPECT_EQ(stop.Requested(), requestTaken) << "round " << round;
        EXPECT_EQ(stop.LateRequests(), requestTaken ? 0u : 1u) << "round " << round;
        // The race is decided for good: whoever comes after the winner gets
        // the answer the loser got.
        EXPECT_EQ(stop.Close(), closedFirst) << "round " << round;
        EXPECT_EQ(stop.Request(), answer) << "round " << round;
        EXPECT_EQ(stop.Requested(), requestTaken) << "round " << round;
        EXPECT_EQ(stop.LateRequests(), requestTaken ? 0u : 2u) << "round " << round;
    }
}

// Whichever of the two the scheduler let win above, each order must end as
// its first call decides, whatever comes after it.
struct Order {
    const char* name;
    const char* calls; // R: Request, C: Close, X: Clear
    const char* answers; // per call: T Taken, L TooLate, 1 Close true, 0 Close false, - Clear
    bool requested;
    std::uint32_t late;
};

const Order kOrders[] = {
    {"RequestThenClose", "RC", "T0", true, 0},       // the run stops: the request stays
    {"RequestCloseClose", "RCC", "T00", true, 0},    // the engine asks once more: still stopped
    {"RequestCloseRequest", "RCR", "T0T", true, 0},  // a second Ctrl-C after the stop is taken too
    {"CloseThenRequest", "CR", "1L", false, 1},      // too late: the run goes on
    {"CloseRequestClose", "CRC", "1L1", false, 1},   // a late request reopens nothing
    {"CloseRequestRequest", "CRR", "1LL", false, 2}, // each late request counted
    {"ClosedThenCleared", "CRXR", "1L-T", true, 0},  // the next run's request is taken
    {"TakenThenCleared", "RXC", "T-1", false, 0},    // the next run is not stopped by the last one's
    {"NothingAsked", "", "", false, 0},
};

class StopRequestOrder : public ::testing::TestWithParam<Order> {};

TEST_P(StopRequestOrder, EndsAsItsFirstCallDecides)
{
    const Order& o = GetParam();
    StopRequest stop;
    for (std::size_t i = 0; o.calls[i]; ++i) {
        char got = '-';
        switch (o.calls[i]) {
        case 'R': got = stop.Request() == StopRequest::Answer::Taken ? 'T' : 'L'; break;
        case 'C': got = stop.Close() ? '1' : '0'; break;
        case 'X': stop.Clear(); break;
        }
        EXPECT_EQ(got, o.answers[i]) << "call " << i;
    }
    EXPECT_EQ(stop.Requested(), o.requested);
    EXPECT_EQ(stop.LateRequests(), o.late);
}

INSTANTIATE_TEST_SUITE_P(Orders, StopRequestOrder, ::testing::ValuesIn(kOrders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StopRequest, SecondRequestsAndClearing)
{
    StopRequest stop;
    EXPECT_EQ(stop.Request(), StopRequest::Answer::Taken);
    EXPECT_EQ(stop.Request(), StopRequest::Answer::Taken); // a second Ctrl-C changes nothing
    EXPECT_FALSE(stop.Close());
    stop.Clear();
    EXPECT_FALSE(stop.Requested());
    EXPECT_TRUE(stop.Close());
    EXPECT_TRUE(stop.Close());
    EXPECT_EQ(stop.Request(), StopRequest::Answer::TooLate);
    EXPECT_EQ(stop.Request(), StopRequest::Answer::TooLate);
    EXPECT_EQ(stop.LateRequests(), 2u);
    stop.Clear();
    EXPECT_EQ(stop.LateRequests(), 0u);
    EXPECT_EQ(stop.Request(), StopRequest::Answer::Taken);
}

} // namespace
