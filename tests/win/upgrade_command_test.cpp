// The Upgrade command end to end under Wine: the real dialog, the real engine
// and command layer, a virtual drive behind the device seam.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/status_log.h"
#include "app/warning_dlg.h"
#include "flash/image_buffer.h"
#include "res/resource.h"
#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using namespace engine_test;
using Lines = std::vector<std::string>;

const std::string kShown = std::string(kModel) + "(0)";

std::string ListLine(const char* file, const char* flag = "N")
{
    return std::string("\"") + kModel + "\" \"" + file + "\" \"" + flag + "\"\r\n";
}

std::string CheckSumLine(const Bytes& image, std::size_t covered)
{
    std::uint32_t sum = Sum16(image) + 0xFFu * static_cast<std::uint32_t>(covered - image.size());
    char line[32];
    std::snprintf(line, sizeof line, "Check Sum : %X", static_cast<unsigned>(sum & 0xFFFF));
    return line;
}

class Upgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"fw.hex", "fw.bin", "KV.BIN", "fw.txt", "sum.txt"})
            DialogHarness::RemoveFile(name);
        drive = &h.machine.AddCdRom('d');
    }

    // The dialog with `list` as IDString.txt; the listed drive is shown.
    CFlashDlg& Open(const std::string& list)
    {
        DialogHarness::WriteModelList(list.c_str());
        CFlashDlg& dialog = h.Open();
        commandsAtStart = drive->Commands().size();
        return dialog;
    }

    bool DriveUntouched() const { return drive->Commands().size() == commandsAtStart; }
    bool SaveSent() const
    {
        for (const ReceivedCommand& c : drive->Commands())
            if (c.cdb[0] == 0x3B && c.cdb[1] == 0x07)
                return true;
        return false;
    }
    // After the model list's two, up to the closing line (the drive's state
    // follows it).
    Lines RunLines() const
    {
        Lines lines = h.LogLines();
        return Lines(lines.begin() + 2, lines.end() - 1);
    }

    DialogHarness h;
    VirtualDrive* drive = nullptr;
    std::size_t commandsAtStart = 0;
};

struct RunCase {
    const char* name;
    const char* file;
    bool hex;
    std::size_t length;
    const char* imageRevision; // what the image carries behind the model
    bool success;
};

class UpgradeRun : public Upgrade, public ::testing::WithParamInterface<RunCase> {};

TEST_P(UpgradeRun, EndsWithItsClosingLineAndButtonsSettled)
{
    const RunCase& c = GetParam();
    Bytes image = MakeImage(c.length, 0x100, c.imageRevision);
    if (c.hex) {
        std::string text = ToHex(image);
        DialogHarness::WriteFile(c.file, Bytes(text.begin(), text.end()));
    } else {
        DialogHarness::WriteFile(c.file, image);
    }
    CFlashDlg& dialog = Open(ListLine(c.file));
    ASSERT_EQ(h.Text(IDC_DRIVE), kShown);
    ASSERT_TRUE(h.UpgradeAndWait());

    if (c.success) {
        EXPECT_EQ(RunLines(), (Lines{CheckSumLine(image, c.hex ? 0x10000 : 0x100000),
                                     "Please wait a minute.....", "Please Restart Your Computer."}));
        EXPECT_EQ(h.Progress(), 100);
        EXPECT_EQ(h.Text(IDC_REVISION), c.imageRevision);
        EXPECT_EQ(h.Text(IDC_DRIVE), kModel);
        EXPECT_EQ(drive->Identity().revision, c.imageRevision);
        EXPECT_EQ(DialogHarness::ReadFile("sum.txt").rfind("Model Name : " + kShown + " HID : 0 TID : 0 Ver.: 1.00\r\n", 0), 0u);
        EXPECT_EQ(dialog.m_FlashParam.m_bHexFile, c.hex ? 1 : 0);
    } else {
        EXPECT_EQ(RunLines(), (Lines{"It is an incorrect firmware version!", "Flashing is incorrect!!"}));
        EXPECT_TRUE(DriveUntouched());
        EXPECT_EQ(h.Text(IDC_REVISION), "1.00");
    }
    EXPECT_EQ(h.Text(IDC_STATUS), "");
    EXPECT_TRUE(h.Enabled(IDCANCEL));
    EXPECT_FALSE(h.Enabled(IDC_UPGRADE));
    EXPECT_EQ(ImageRegionsHeld(), 0);
    EXPECT_FALSE(g_bTerminate.Requested());
    EXPECT_FALSE(dialog.IsEnded());
}

const RunCase kRuns[] = {
    {"Hex", "fw.hex", true, 0x8000, "1.10", true},
    {"Raw", "fw.bin", false, 5000, "1.10", true},
    {"ExtensionInCapitals", "KV.BIN", false, 5000, "1.10", true},
    {"ImageForAnotherRevision", "fw.hex", true, 0x8000, "2.10", false},
};

INSTANTIATE_TEST_SUITE_P(Images, UpgradeRun, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upgrade, CapitalExtensionIsLoweredInThePath)
{
    DialogHarness::WriteFile("KV.BIN", MakeImage(5000));
    CFlashDlg& dialog = Open(ListLine("KV.BIN"));
    ASSERT_TRUE(h.UpgradeAndWait());
    std::string path = dialog.m_FlashParam.szImagePath;
    EXPECT_EQ(path.substr(path.size() - 7), "\\KV.bin");
}

TEST_F(Upgrade, RunsThroughAspiOnA9xFamilySystem)
{
    h.ui.family = Family::Win9x;
    DialogHarness::WriteFile("fw.bin", MakeImage(5000));
    Open(ListLine("fw.bin"));
    ASSERT_TRUE(h.UpgradeAndWait());
    EXPECT_EQ(h.ClosingLine(), "Please Restart Your Computer.");
    EXPECT_TRUE(SaveSent());
    EXPECT_TRUE(h.machine.PassThroughCalls().empty());
    EXPECT_FALSE(h.machine.AspiCalls().empty());
}

// A drive that answers the command after each download with a unit
// attention, as conforming targets do, is upgraded on both transports.
TEST_F(Upgrade, DriveRaisingUnitAttentionsIsUpgradedOnBothTransports)
{
    for (Family family : {Family::NT5, Family::Win9x}) {
        SCOPED_TRACE(family == Family::NT5 ? "pass-through" : "ASPI");
        DialogHarness local;
        VirtualDrive& raising = local.machine.AddCdRom('d');
        raising.RaiseUnitAttentions();
        raising.SetBusyPolls(0);
        local.ui.family = family;
        DialogHarness::WriteFile("fw.bin", MakeImage(3 * 4096));
        DialogHarness::WriteModelList(ListLine("fw.bin").c_str());
        local.Open();
        ASSERT_TRUE(local.UpgradeAndWait());
        EXPECT_EQ(local.ClosingLine(), "Please Restart Your Computer.");
        EXPECT_EQ(raising.SavesAccepted(), 1);
        EXPECT_EQ(local.Text(IDC_REVISION), "1.10");
    }
}

// Each refusal leaves the drive untouched, gives Close back and keeps
// Upgrade usable.
struct Refusal {
    const char* name;
    std::string list;
    const char* box;     // message box text, or null for a log line
    const char* logLine; // last log line expected, or null
};

class UpgradeRefusal : public Upgrade, public ::testing::WithParamInterface<Refusal> {};

TEST_P(UpgradeRefusal, StopsBeforeTheDrive)
{
    const Refusal& c = GetParam();
    Open(c.list);
    h.Click(IDC_UPGRADE);
    if (c.box) {
        ASSERT_EQ(h.ui.boxes.size(), 1u);
        EXPECT_EQ(h.ui.boxes[0].text, c.box);
        EXPECT_EQ(h.ui.boxes[0].caption, "Error!!");
        EXPECT_EQ(h.ui.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    } else {
        EXPECT_TRUE(h.ui.boxes.empty());
    }
    if (c.logLine) {
        EXPECT_EQ(h.LogLines().back(), c.logLine);
    }
    EXPECT_FALSE(h.Dialog().IsRunning());
    EXPECT_TRUE(h.Enabled(IDCANCEL));
    EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
    EXPECT_TRUE(DriveUntouched());

    // Pressed again, the command starts from the beginning and refuses again.
    h.Click(IDC_UPGRADE);
    EXPECT_EQ(h.ui.boxes.size(), c.box ? 2u : 0u);
    EXPECT_TRUE(h.Enabled(IDCANCEL));
}

const Refusal kRefusals[] = {
    {"UnknownExtension", ListLine("fw.txt"), "Input file format mismatched.", nullptr},
    {"NoExtension", ListLine("firmware"), "Input file format mismatched.", nullptr},
    {"BlankAfterExtension", ListLine("fw.hex "), "Input file format mismatched.", nullptr},
    {"FurtherExtension", ListLine("fw.hex.old"), "Input file format mismatched.", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Lists, UpgradeRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upgrade, TargetNotInTheListIsRefusedInTheLog)
{
    h.machine.AddCdRom('e', [] {
        DriveIdentity other;
        other.vendor = "AAAA    ";
        return other;
    }());
    DialogHarness::WriteModelList(ListLine("fw.hex", "Y").c_str());
    h.Open();
    std::size_t before = drive->Commands().size();
    h.Choose(0); // the other model sorts first
    ASSERT_EQ(h.Dialog().m_cbDrive.GetLBText(0).substr(0, 4), "AAAA");
    h.Click(IDC_UPGRADE);
    EXPECT_EQ(h.LogLines().back(), "Drive model doesn't match!");
    EXPECT_TRUE(h.ui.boxes.empty());
    // Refused before the warning could be shown.
    EXPECT_EQ(std::count(h.ui.dialogsShown.begin(), h.ui.dialogsShown.end(), IDD_WARNING), 0);
    EXPECT_TRUE(h.Enabled(IDCANCEL));
    EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
    EXPECT_EQ(drive->Commands().size(), before);
}

TEST_F(Upgrade, TypedTextNamingNoDriveNeverStartsARun)
{
    Open(ListLine("fw.hex"));
    h.Type("KAVORA  CD-ROM VIRTUAL  (7)");
    h.Click(IDC_UPGRADE);
    EXPECT_EQ(h.LogLines().back(), "Drive model doesn't match!");
    EXPECT_EQ(h.Dialog().m_FlashParam.drive.byHaId, 255);
    EXPECT_EQ(h.Dialog().m_FlashParam.drive.byTargetId, 255);
    EXPECT_TRUE(DriveUntouched());
}

TEST_F(Upgrade, UnreadableDirectoryThenStaleChoices)
{
    DialogHarness::WriteFile("fw.hex", Bytes{});
    Open(ListLine("fw.hex"));

    // 1. The directory cannot be read: a system-modal box.
    h.ui.directoryFails = true;
    h.Click(IDC_UPGRADE);
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text, "Can't retrieves the current directory.");
    EXPECT_EQ(h.ui.boxes[0].caption, "GetCurrentDirectory Error !!");
    EXPECT_EQ(h.ui.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL));
    EXPECT_TRUE(h.Enabled(IDCANCEL));
    h.ui.directoryFails = false;

    // 2. A typed text that is no list model: the earlier drive is kept (with
    // ids 255), but no image path is found.
    h.Type("SOMETHING ELSE");
    h.Click(IDC_UPGRADE);
    ASSERT_EQ(h.ui.boxes.size(), 2u);
    EXPECT_EQ(h.ui.boxes[1].text, "Update file name is not assigned.");

    // 3. A typed text of the list's model that is no drive's: no target.
    h.Type("KAVORA  CD-ROM VIRTUAL  (7)");
    h.Click(IDC_UPGRADE);
    ASSERT_EQ(h.ui.boxes.size(), 3u);
    EXPECT_EQ(h.ui.boxes[2].text, "No Target Drive.");
    EXPECT_TRUE(h.Enabled(IDCANCEL));
    EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
    EXPECT_TRUE(DriveUntouched());

    // 4. Choosing the drive again makes the command whole.
    DialogHarness::WriteFile("fw.hex", [] {
        std::string text = ToHex(MakeImage(0x200));
        return Bytes(text.begin(), text.end());
    }());
    h.Choose(0);
    ASSERT_TRUE(h.UpgradeAndWait());
    EXPECT_EQ(h.ClosingLine(), "Please Restart Your Computer.");
}

// The warning dialog joins the command when the list's flag is Y.
struct WarningCase {
    const char* name;
    const char* flag;
    int answer;        // IDOK or IDCANCEL; unused when not shown
    bool shown;
    bool runs;
};

class UpgradeWarning : public Upgrade, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(UpgradeWarning, ComesAfterTheModelCheckAndBeforeTheFiles)
{
    const WarningCase& c = GetParam();
    DialogHarness::WriteFile("fw.bin", MakeImage(5000));
    Open(ListLine("fw.bin", c.flag));
    std::string model, revision;
    bool closeEnabledMeanwhile = true;
    h.ui.onDialog = [&](CDialog& warning) {
        model = g_strModel;
        revision = g_strRevision;
        closeEnabledMeanwhile = h.Enabled(IDCANCEL);
        warning.PostMessage(WM_COMMAND, MAKEWPARAM(c.answer, BN_CLICKED), 0);
    };
    // A directory failure shows whether the warning came before the file tests.
    h.ui.directoryFails = !c.runs;
    ASSERT_TRUE(h.UpgradeAndWait());

    bool shown = std::count(h.ui.dialogsShown.begin(), h.ui.dialogsShown.end(), IDD_WARNING) == 1;
    EXPECT_EQ(shown, c.shown);
    if (c.shown) {
        EXPECT_EQ(model, kShown);
        EXPECT_EQ(revision, "1.00");
        EXPECT_FALSE(closeEnabledMeanwhile);
    }
    if (c.runs) {
        EXPECT_EQ(h.ClosingLine(), "Please Restart Your Computer.");
        EXPECT_FALSE(h.Enabled(IDC_UPGRADE));
    } else {
        EXPECT_TRUE(DriveUntouched());
        EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
        // Cancelled: no file test at all; confirmed: the directory box.
        EXPECT_EQ(h.ui.boxes.size(), c.answer == IDOK ? 1u : 0u);
    }
    EXPECT_TRUE(h.Enabled(IDCANCEL));
}

const WarningCase kWarnings[] = {
    {"FlagNShowsNothing", "N", IDOK, false, true},
    {"ConfirmedRuns", "Y", IDOK, true, true},
    {"ConfirmedThenFileTests", "Y", IDOK, true, false},
    {"CancelledStops", "y", IDCANCEL, true, false},
};

INSTANTIATE_TEST_SUITE_P(Flags, UpgradeWarning, ::testing::ValuesIn(kWarnings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upgrade, SecondPressAndSessionEndDuringARunChangeNothing)
{
    std::string text = ToHex(MakeImage(0x8000));
    DialogHarness::WriteFile("fw.hex", Bytes(text.begin(), text.end()));
    CFlashDlg& dialog = Open(ListLine("fw.hex"));
    h.machine.GateAt({0x3B, 0x06}, 1);
    h.Click(IDC_UPGRADE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.machine.Reached(); }));
    FlashParam before = dialog.m_FlashParam;

    h.Type("SOMETHING ELSE");
    h.Click(IDC_UPGRADE);
    EXPECT_EQ(std::memcmp(&before, &dialog.m_FlashParam, sizeof before), 0);
    EXPECT_FALSE(h.Enabled(IDCANCEL));
    // Nor may the session end under the run.
    EXPECT_EQ(::SendMessageA(h.Hwnd(), WM_QUERYENDSESSION, 0, 0), FALSE);

    h.machine.Release();
    ASSERT_TRUE(h.PumpUntil([&] { return !dialog.IsRunning(); }));
    EXPECT_EQ(RunLines(), (Lines{CheckSumLine(MakeImage(0x8000), 0x10000), "Please wait a minute.....",
                                 "Please Restart Your Computer."}));
    EXPECT_EQ(drive->SavesAccepted(), 1);
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_NE(::SendMessageA(h.Hwnd(), WM_QUERYENDSESSION, 0, 0), FALSE);
}

// A request to end the dialog during a run: Escape or the close box.
struct StopCase {
    const char* name;
    std::vector<std::uint8_t> gate; // command block at which the run is held
    int occurrence;
    bool viaCloseBox;
    bool stops;
};

class UpgradeStop : public Upgrade, public ::testing::WithParamInterface<StopCase> {};

TEST_P(UpgradeStop, NeverEndsTheDialogAndStopsOnlyBeforeTheSave)
{
    const StopCase& c = GetParam();
    std::string text = ToHex(MakeImage(0x8000));
    DialogHarness::WriteFile("fw.hex", Bytes(text.begin(), text.end()));
    CFlashDlg& dialog = Open(ListLine("fw.hex"));
    h.machine.GateAt(c.gate, c.occurrence);

    h.Click(IDC_UPGRADE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.machine.Reached(); }));
    if (c.viaCloseBox)
        ::SendMessageA(h.Hwnd(), WM_CLOSE, 0, 0);
    else
        h.Click(IDCANCEL);
    EXPECT_FALSE(dialog.IsEnded());
    // A request the run can no longer take is answered where the user looks.
    EXPECT_EQ(h.Text(IDC_STATUS), c.stops ? "Updating....." : "Drive programming; too late to stop");
    h.machine.Release();
    ASSERT_TRUE(h.PumpUntil([&] { return !dialog.IsRunning(); }));

    Lines lines = h.LogLines();
    if (c.stops) {
        EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
                  (Lines{"ERR: terminate upgrade/backup flash!", "Flashing is incorrect!!",
                         "Nothing was saved to the drive: it still has its old firmware."}));
        EXPECT_FALSE(SaveSent());
        EXPECT_EQ(drive->Identity().revision, "1.00");
    } else {
        EXPECT_EQ(h.ClosingLine(), "Please Restart Your Computer.");
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERR: terminate upgrade/backup flash!"), 0);
        EXPECT_EQ(drive->Identity().revision, "1.10");
    }
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_FALSE(g_bTerminate.Requested());
    EXPECT_TRUE(h.Enabled(IDCANCEL));
    EXPECT_FALSE(h.Enabled(IDC_UPGRADE));

    // Once the run is over, Close ends the dialog again.
    h.Click(IDCANCEL);
    EXPECT_TRUE(dialog.IsEnded());
}

const std::vector<std::uint8_t> kBlockWrite{0x3B, 0x06};
const std::vector<std::uint8_t> kSave{0x3B, 0x07};
const std::vector<std::uint8_t> kTestUnitReady{0x00, 0x00, 0x00};

const StopCase kStops[] = {
    {"EscapeDuringTransfer", kBlockWrite, 3, false, true},
    {"CloseBoxDuringTransfer", kBlockWrite, 3, true, true},
    // The last of the image's 16 blocks is on its way: too late.
    {"EscapeDuringTheLastBlock", kBlockWrite, 16, false, false},
    {"EscapeAtTheSave", kSave, 1, false, false},
    {"CloseBoxWhileProgramming", kTestUnitReady, 1, true, false},
};

INSTANTIATE_TEST_SUITE_P(Requests, UpgradeStop, ::testing::ValuesIn(kStops),
                         [](const auto& info) { return std::string(info.param.name); });

// One writer per drive. A second main dialog on the same machine stands for
// a second copy of the program: it finds the drive taken while the first
// one's run lasts, and sends the drive nothing.
class OneWriter : public Upgrade {
protected:
    void SetUp() override
    {
        Upgrade::SetUp();
        std::string text = ToHex(MakeImage(0x8000));
        DialogHarness::WriteFile("fw.hex", Bytes(text.begin(), text.end()));
    }
    // Starts `dialog`'s run and holds it at its first block.
    void StartHeld(CFlashDlg& dialog)
    {
        h.machine.GateAt({0x3B, 0x06}, 1);
        h.Select(dialog);
        h.Click(IDC_UPGRADE);
        ASSERT_TRUE(h.PumpUntil([&] { return h.machine.Reached(); }));
    }
    void ExpectRefused(const std::string& text)
    {
        ASSERT_EQ(h.ui.boxes.size(), 1u);
        EXPECT_EQ(h.ui.boxes[0].text, text);
        EXPECT_EQ(h.ui.boxes[0].caption, "KAVORA");
        EXPECT_EQ(h.ui.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONSTOP));
        EXPECT_FALSE(h.Dialog().IsRunning());
        EXPECT_TRUE(h.Enabled(IDCANCEL));
        EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
    }
    bool EndsWell(CFlashDlg& dialog)
    {
        h.Select(dialog);
        return h.PumpUntil([&] { return !dialog.IsRunning(); }) &&
               h.ClosingLine() == "Please Restart Your Computer.";
    }
};

TEST_F(OneWriter, SecondDialogOnTheDriveIsRefusedUntilTheFirstRunEnds)
{
    CFlashDlg& first = Open(ListLine("fw.hex"));
    CFlashDlg& second = h.Open();
    ASSERT_NO_FATAL_FAILURE(StartHeld(first));

    h.Select(second);
    const std::size_t requests = h.machine.IoctlCalls().size();
    const std::size_t commands = drive->Commands().size();
    h.Click(IDC_UPGRADE);
    ExpectRefused("This drive is being upgraded by another program: upgrade_command_test.exe "
                  "(process " + std::to_string(::GetCurrentProcessId()) + ").\n\n"
                  "Wait until it has finished, then press Upgrade again.");
    EXPECT_EQ(h.machine.IoctlCalls().size(), requests) << "nothing asked of the system";
    EXPECT_EQ(drive->Commands().size(), commands);

    h.machine.Release();
    ASSERT_TRUE(EndsWell(first));

    // The drive is free again.
    h.Select(second);
    h.Click(IDC_UPGRADE);
    EXPECT_TRUE(EndsWell(second));
    EXPECT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(drive->SavesAccepted(), 2);
}

TEST_F(OneWriter, DialogsOnTwoDrivesRunAtOnce)
{
    VirtualDrive& other = h.machine.AddCdRom('e');
    CFlashDlg& first = Open(ListLine("fw.hex"));
    h.Choose(0); // d
    CFlashDlg& second = h.Open();
    h.Choose(1); // e
    ASSERT_NO_FATAL_FAILURE(StartHeld(first));

    h.Select(second);
    h.Click(IDC_UPGRADE);
    EXPECT_TRUE(EndsWell(second)) << "while the first run stands at its first block";
    EXPECT_EQ(other.SavesAccepted(), 1);
    EXPECT_EQ(drive->SavesAccepted(), 0);

    h.machine.Release();
    EXPECT_TRUE(EndsWell(first));
    EXPECT_EQ(drive->SavesAccepted(), 1);
    EXPECT_TRUE(h.ui.boxes.empty());
}

// Where the system has exclusive access (Vista and later), the run holds it
// too, and a drive another program holds that way is refused naming it.
TEST_F(OneWriter, RunHoldsTheSystemsExclusiveAccessUntilItEnds)
{
    h.machine.OfferExclusiveAccess(true);
    h.machine.MountFileSystem('d', true);
    CFlashDlg& dialog = Open(ListLine("fw.hex"));
    ASSERT_NO_FATAL_FAILURE(StartHeld(dialog));
    EXPECT_EQ(h.machine.ExclusiveCaller('d'),
              "KAVORA firmware upgrade, process " + std::to_string(::GetCurrentProcessId()));
    h.machine.Release();
    EXPECT_TRUE(EndsWell(dialog));
    EXPECT_EQ(h.machine.ExclusiveCaller('d'), "");
}

TEST_F(OneWriter, DriveInAnotherProgramsExclusiveUseIsRefusedNamingIt)
{
    h.machine.OfferExclusiveAccess(true);
    Open(ListLine("fw.hex"));
    h.machine.LockExclusively('d', "Disc Burner 7");
    h.Click(IDC_UPGRADE);
    ExpectRefused("This drive is in exclusive use by another program: Disc Burner 7.\n\n"
                  "Wait until it has finished, then press Upgrade again.");
    EXPECT_TRUE(DriveUntouched());

    // Once the other program lets go, the run goes through.
    h.machine.UnlockExclusively('d');
    ASSERT_TRUE(h.UpgradeAndWait());
    EXPECT_EQ(h.ClosingLine(), "Please Restart Your Computer.");
    EXPECT_EQ(h.ui.boxes.size(), 1u);
}

} // namespace
