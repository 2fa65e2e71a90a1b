// Every way a run ends, as the dialog tells it: the closing line, then what
// became of the drive (in the log and in sum.txt), and the taskbar's error
// state for every end but an upgrade.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"
#include "tests/win/support/recording_taskbar.h"

namespace {

using namespace engine_test;

struct EndCase {
    const char* name;
    std::function<void(VirtualDrive&)> fault;
    const char* imageRevision;
    const char* closing;
    const char* state; // how the line after the closing line starts
    char taskbar;      // the last taskbar call: 'c' clear, 'f' error
    UINT sound;        // MessageBeep's sound at the end
};

// The system's sounds for an upgrade, for a drive that got nothing or still
// reports its old revision, and for a drive nobody can vouch for.
constexpr UINT kFine = MB_ICONASTERISK;
constexpr UINT kWarn = MB_ICONEXCLAMATION;
constexpr UINT kError = MB_ICONHAND;

class RunEndTest : public ::testing::TestWithParam<EndCase> {
protected:
    TaskbarRecording taskbar;
};

TEST_P(RunEndTest, ClosingLineIsFollowedByWhatBecameOfTheDrive)
{
    const EndCase& c = GetParam();
    DialogHarness h;
    DialogHarness::RemoveFile("sum.txt");
    VirtualDrive& drive = h.machine.AddCdRom('d');
    DialogHarness::WriteFile("fw.bin", MakeImage(3 * 4096, 0x100, c.imageRevision));
    DialogHarness::WriteModelList("\"KAVORA  CD-ROM VIRTUAL  \" \"fw.bin\" \"N\"\n");
    h.Open();
    c.fault(drive);
    ASSERT_TRUE(h.UpgradeAndWait());

    const std::vector<std::string> log = h.LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], c.closing);
    EXPECT_EQ(log.back().rfind(c.state, 0), 0u) << log.back();
    const std::string sum = DialogHarness::ReadFile("sum.txt");
    if (!sum.empty()) {
        EXPECT_NE(sum.find(log.back() + "\r\n"), std::string::npos) << "sum.txt ends with the same words";
    }
    const std::vector<TaskbarCall> calls = taskbar.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().what, c.taskbar);

    // Heard as well as seen: one sound for the end, the last line spoken as
    // the log's new name, and on Close, which has the focus.
    EXPECT_EQ(h.ui.beeps, std::vector<UINT>{c.sound});
    HWND close = ::GetDlgItem(h.Hwnd(), IDCANCEL);
    HWND logBox = ::GetDlgItem(h.Hwnd(), IDC_LOG);
    EXPECT_EQ(::GetFocus(), close);
    EXPECT_EQ(h.ui.annotations[logBox].name, "Log: " + log.back());
    EXPECT_EQ(h.ui.annotations[close].description, log.back());
    ASSERT_FALSE(h.ui.events.empty());
    EXPECT_EQ(h.ui.events.back(), std::make_pair(DWORD{EVENT_OBJECT_NAMECHANGE}, logBox));
}

constexpr char kFailed[] = "Flashing is incorrect!!";
constexpr char kRestart[] = "Please Restart Your Computer.";

// The drive's commands: discovery's INQUIRY (0), three blocks (1 to 3), the
// header (4), the save (5).
const EndCase kEnds[] = {
    {"Upgraded", [](VirtualDrive&) {}, "1.10", kRestart,
     "Upgraded: the drive now reports revision 1.10; it reported 1.00 before.", 'c', kFine},
    {"SameRevision", [](VirtualDrive&) {}, "1.00", kRestart,
     "The drive took the image but still reports revision 1.00, as before", 'f', kWarn},
    {"OtherModel", [](VirtualDrive& d) { d.Faults().productAfterSave = "CD-ROM OTHER    "; }, "1.10", kRestart,
     "The drive now answers as another model, \"KAVORA  CD-ROM OTHER    \" revision 1.10. Its state is unknown",
     'f', kError},
    {"NeverIdentified", [](VirtualDrive& d) { d.WithholdInquiry(11); }, "1.10", kRestart,
     "The drive stopped reporting that it was programming but did not answer INQUIRY again. Its state is "
     "unknown: shut the computer down",
     'f', kError},
    {"WrongImage", [](VirtualDrive&) {}, "2.10", kFailed,
     "Nothing was saved to the drive: it still has its old firmware.", 'f', kWarn},
    {"BlockRefused", [](VirtualDrive& d) { d.FailBlock(1, kForever); }, "1.10", kFailed,
     "Nothing was saved to the drive: it still has its old firmware.", 'f', kWarn},
    {"SaveDeclined", [](VirtualDrive& d) { d.RefuseSave(); }, "1.10", kFailed,
     "Nothing was saved to the drive: it still has its old firmware.", 'f', kWarn},
    {"SaveFailed", [](VirtualDrive& d) { d.RefuseSave(1, {0x04, 0x44, 0x00}); }, "1.10", kFailed,
     "The drive answered the save command with an error: it may have begun to program its flash. Its state is "
     "unknown",
     'f', kError},
    {"SaveUnanswered", [](VirtualDrive& d) { d.FailTransportAt(5); }, "1.10", kFailed,
     "The save command got no answer: the drive may have taken it and be programming its flash. Do not power it "
     "off",
     'f', kError},
    {"NeverReady", [](VirtualDrive& d) { d.SetBusyPolls(kForever); }, "1.10", kFailed,
     "The drive had not said it was ready when the program stopped waiting: it may still be programming its "
     "flash. Do not power it off", 'f', kError},
};

INSTANTIATE_TEST_SUITE_P(Ends, RunEndTest, ::testing::ValuesIn(kEnds),
                         [](const auto& info) { return std::string(info.param.name); });

// A sum.txt the program cannot open is named with the cause, and the run
// goes on as if it were there.
TEST(RunEnd, DiagnosticsFileThatCannotBeOpenedIsNamed)
{
    DialogHarness h;
    DialogHarness::RemoveFile("sum.txt");
    ::CreateDirectoryA("sum.txt", nullptr);
    VirtualDrive& drive = h.machine.AddCdRom('d');
    DialogHarness::WriteFile("fw.bin", MakeImage(3 * 4096));
    DialogHarness::WriteModelList("\"KAVORA  CD-ROM VIRTUAL  \" \"fw.bin\" \"N\"\n");
    h.Open();
    ASSERT_TRUE(h.UpgradeAndWait());
    ::RemoveDirectoryA("sum.txt");
    const std::vector<std::string> log = h.LogLines();
    bool warned = false;
    for (const std::string& line : log)
        warned = warned || line.rfind("Warning: cannot open the diagnostics file sum.txt (", 0) == 0;
    EXPECT_TRUE(warned) << ::testing::PrintToString(log);
    EXPECT_EQ(log[log.size() - 2], kRestart);
    EXPECT_EQ(drive.SavesAccepted(), 1);
}

} // namespace
