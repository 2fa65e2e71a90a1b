// The stop request decides a race between a user and the engine: a request
// and the closing before the last block never both win, and never both lose.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "flash/stop_request.h"

namespace {

TEST(StopRequest, TheRequestOrTheClosingWinsNeverBoth)
{
    int taken = 0, closed = 0;
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
        EXPECT_EQ(stop.Requested(), requestTaken);
        EXPECT_EQ(stop.LateRequests(), requestTaken ? 0u : 1u);
        taken += requestTaken;
        closed += closedFirst;
    }
    EXPECT_EQ(taken + closed, 500);
}

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
