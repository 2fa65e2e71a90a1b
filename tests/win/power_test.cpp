// A run keeps the system awake and refuses to let it sleep, and gives both
// up when it ends, whichever way it ends. Checked on the virtual machine's
// power seam, not by sleeping a machine.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using namespace engine_test;

struct PowerCase {
    const char* name;
    void (*fault)(VirtualDrive&);
    const char* lastLine;
};

class Power : public ::testing::TestWithParam<PowerCase> {
protected:
    LRESULT AskToSleep(WPARAM query)
    {
        return ::SendMessageA(h.Hwnd(), WM_POWERBROADCAST, query, 0);
    }
    DialogHarness h;
};

TEST_P(Power, RunHoldsTheSystemAwakeAndReleasesItAtItsEnd)
{
    const PowerCase& c = GetParam();
    VirtualDrive& drive = h.machine.AddCdRom('d');
    c.fault(drive);
    std::string text = ToHex(MakeImage(0x8000));
    DialogHarness::WriteFile("fw.hex", Bytes(text.begin(), text.end()));
    DialogHarness::WriteModelList((std::string("\"") + kModel + "\" \"fw.hex\" \"N\"").c_str());
    CFlashDlg& dialog = h.Open();

    EXPECT_NE(AskToSleep(PBT_APMQUERYSUSPEND), BROADCAST_QUERY_DENY) << "no run yet";
    EXPECT_FALSE(h.machine.KeptAwake());

    h.machine.GateAt({0x3B, 0x06}, 2);
    h.Click(IDC_UPGRADE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.machine.Reached(); }));
    EXPECT_TRUE(h.machine.KeptAwake());
    EXPECT_EQ(AskToSleep(PBT_APMQUERYSUSPEND), BROADCAST_QUERY_DENY);
    EXPECT_EQ(AskToSleep(PBT_APMQUERYSTANDBY), BROADCAST_QUERY_DENY);
    h.machine.Release();
    ASSERT_TRUE(h.PumpUntil([&] { return !dialog.IsRunning(); }));

    EXPECT_EQ(h.ClosingLine(), c.lastLine);
    EXPECT_FALSE(h.machine.KeptAwake());
    EXPECT_EQ(h.machine.ExecutionStateCalls(),
              (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS}));
    EXPECT_NE(AskToSleep(PBT_APMQUERYSUSPEND), BROADCAST_QUERY_DENY);
}

const PowerCase kPowerCases[] = {
    {"Success", [](VirtualDrive&) {}, "Please Restart Your Computer."},
    {"BlockFails", [](VirtualDrive& d) { d.FailBlock(3, kForever); }, "Flashing is incorrect!!"},
    {"SaveRefused", [](VirtualDrive& d) { d.RefuseSave(); }, "Flashing is incorrect!!"},
};

INSTANTIATE_TEST_SUITE_P(Runs, Power, ::testing::ValuesIn(kPowerCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
