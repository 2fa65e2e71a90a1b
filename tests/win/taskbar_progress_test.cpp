// The taskbar button follows a run: the figure as it goes, never back, then
// nothing after a good run and the error state after a failed one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"
#include "tests/win/support/recording_taskbar.h"

namespace {

using namespace engine_test;

class Taskbar : public ::testing::TestWithParam<bool> {
protected:
    TaskbarRecording taskbar;
};

TEST_P(Taskbar, FollowsTheRunAndEndsAsItEnds)
{
    const bool fails = GetParam();
    DialogHarness h;
    VirtualDrive& drive = h.machine.AddCdRom('d');
    DialogHarness::WriteFile("fw.bin", MakeImage(0x20000));
    DialogHarness::WriteModelList("\"KAVORA  CD-ROM VIRTUAL  \" \"fw.bin\" \"N\"\n");
    h.Open();
    if (fails)
        drive.RefuseSave();
    ASSERT_TRUE(h.UpgradeAndWait());

    const std::vector<TaskbarCall> calls = taskbar.Calls();
    ASSERT_GE(calls.size(), 33u); // the plan, 32 blocks, ... and the end
    std::uint32_t last = 0;
    for (std::size_t k = 0; k + 1 < calls.size(); ++k) {
        EXPECT_EQ(calls[k].what, 's') << k;
        EXPECT_GE(calls[k].permille, last) << k;
        EXPECT_EQ(calls[k].window, h.Hwnd());
        last = calls[k].permille;
    }
    EXPECT_EQ(calls.back().what, fails ? 'f' : 'c');
    EXPECT_EQ(calls.back().window, h.Hwnd());
    if (fails) {
        EXPECT_LT(last, 1000u);
    } else {
        EXPECT_EQ(last, 1000u);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Taskbar, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Failed" : "Good"); });

} // namespace
