// The taskbar button follows a run: the figure as it goes, never back, then
// nothing after a good run and the error state after a failed one.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/taskbar_progress.h"
#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using namespace engine_test;

struct Call {
    char what; // 's' show, 'f' fail, 'c' clear
    std::uint32_t permille;
    HWND window;
};
std::mutex g_mutex;
std::vector<Call> g_calls;

class RecordingTaskbar final : public TaskbarProgress {
public:
    void Show(HWND window, std::uint32_t permille) override { Add({'s', permille, window}); }
    void Fail(HWND window) override { Add({'f', 0, window}); }
    void Clear(HWND window) override { Add({'c', 0, window}); }

private:
    static void Add(const Call& call)
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        g_calls.push_back(call);
    }
};

std::unique_ptr<TaskbarProgress> MakeRecording() { return std::make_unique<RecordingTaskbar>(); }

class Taskbar : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        previous_ = SetTaskbarMaker(MakeRecording);
        g_calls.clear();
    }
    void TearDown() override { SetTaskbarMaker(previous_); }

private:
    TaskbarMaker previous_ = nullptr;
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

    std::lock_guard<std::mutex> hold(g_mutex);
    ASSERT_GE(g_calls.size(), 33u); // the plan, 32 blocks, ... and the end
    std::uint32_t last = 0;
    for (std::size_t k = 0; k + 1 < g_calls.size(); ++k) {
        EXPECT_EQ(g_calls[k].what, 's') << k;
        EXPECT_GE(g_calls[k].permille, last) << k;
        EXPECT_EQ(g_calls[k].window, h.Hwnd());
        last = g_calls[k].permille;
    }
    EXPECT_EQ(g_calls.back().what, fails ? 'f' : 'c');
    EXPECT_EQ(g_calls.back().window, h.Hwnd());
    if (fails) {
        EXPECT_LT(last, 1000u);
    } else {
        EXPECT_EQ(last, 1000u);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Taskbar, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Failed" : "Good"); });

} // namespace
