// The main dialog over a virtual machine: discovery into the drive list, the
// revision field, the model list and what it enables, the ASPI binding on
// 9x-family systems, the system menu and the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/status_log.h"
#include "res/resource.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using Lines = std::vector<std::string>;

const char kModel[] = "KAVORA  CD-ROM VIRTUAL  ";
const char kListLine[] = "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\r\n";

DriveIdentity Identity(const std::string& vendor, const std::string& product, const std::string& revision)
{
    DriveIdentity id;
    id.vendor = vendor;
    id.product = product;
    id.revision = revision;
    return id;
}

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { DialogHarness::WriteModelList(kListLine); }
    DialogHarness h;
};

TEST_F(MainDialog, ListsDrivesSortedWithTheirIndexSuffix)
{
    h.machine.AddCdRom('d', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.00"));
    h.machine.AddHardDisk('e');
    h.machine.AddCdRom('f', Identity("AAAA    ", "OTHER DRIVE     ", "2.00"));
    h.Open();

    // Found in letter order (d, then f), listed alphabetically.
    EXPECT_EQ(h.ComboItems(), (Lines{"AAAA    OTHER DRIVE     (1)", std::string(kModel) + "(0)"}));
    // The model list's drive is the one shown, with its revision.
    EXPECT_EQ(h.Text(IDC_DRIVE), std::string(kModel) + "(0)");
    EXPECT_EQ(h.Text(IDC_REVISION), "1.00");
    EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
    EXPECT_EQ(h.Text(IDC_STATUS), "");
    EXPECT_EQ(h.Progress(), 0);
    EXPECT_EQ(h.LogLines(), (Lines{"It's only for", std::string("(1) ") + kModel + "."}));
    EXPECT_TRUE(h.ui.boxes.empty()) << h.ui.boxes.front().caption << ": " << h.ui.boxes.front().text;
}

TEST_F(MainDialog, RevisionFollowsOnlyAChoiceEndedOnAListItem)
{
    h.machine.AddCdRom('d', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.00"));
    h.machine.AddCdRom('e', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.07"));
    h.Open();
    ASSERT_EQ(h.ComboItems(), (Lines{std::string(kModel) + "(0)", std::string(kModel) + "(1)"}));
    // With two drives of the model, the later one in table order is shown.
    EXPECT_EQ(h.Text(IDC_DRIVE), std::string(kModel) + "(1)");
    EXPECT_EQ(h.Text(IDC_REVISION), "1.07");

    h.Choose(0);
    EXPECT_EQ(h.Text(IDC_REVISION), "1.00");
    h.Choose(1);
    EXPECT_EQ(h.Text(IDC_REVISION), "1.07");

    // Typing an item's text changes nothing else.
    h.Type((std::string(kModel) + "(0)").c_str());
    EXPECT_EQ(h.Text(IDC_REVISION), "1.07");

    // No item selected: the field shows four blanks.
    ::SendDlgItemMessageA(h.Hwnd(), IDC_DRIVE, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageA(h.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELENDOK), 0);
    EXPECT_EQ(h.Text(IDC_REVISION), "    ");
}

TEST_F(MainDialog, ModelTextCutAtZeroByteKeepsItsSuffix)
{
    h.machine.AddCdRom('d', Identity(std::string("AB\0DEFGH", 8), "CD-ROM VIRTUAL  ", "1.00"));
    h.Open();
    EXPECT_EQ(h.ComboItems(), (Lines{"AB(0)"}));
}

struct ListCase {
    const char* name;
    const char* content; // null: no file
    const char* box;     // expected message box, or null
    Lines log;
    bool upgradeEnabled;
    int warning;
};

class ModelListOutcome : public ::testing::TestWithParam<ListCase> {};

TEST_P(ModelListOutcome, DecidesUpgradeAndLog)
{
    const ListCase& c = GetParam();
    DialogHarness h;
    DialogHarness::WriteModelList(c.content);
    h.machine.AddCdRom('d', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.00"));
    CFlashDlg& dialog = h.Open();

    if (c.box) {
        ASSERT_EQ(h.ui.boxes.size(), 1u);
        EXPECT_EQ(h.ui.boxes[0].text, c.box);
        EXPECT_EQ(h.ui.boxes[0].caption, "Error!!");
        EXPECT_EQ(h.ui.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONSTOP));
        EXPECT_EQ(dialog.m_nModelCount, 0);
    } else {
        EXPECT_TRUE(h.ui.boxes.empty()) << h.ui.boxes.front().caption << ": " << h.ui.boxes.front().text;
        EXPECT_EQ(dialog.m_nModelCount, 1);
    }
    EXPECT_EQ(h.LogLines(), c.log);
    EXPECT_EQ(h.Enabled(IDC_UPGRADE), c.upgradeEnabled);
    EXPECT_EQ(dialog.m_bWarning, c.warning);
}

const std::string kLogged = std::string("(1) ") + kModel + ".";

const ListCase kListCases[] = {
    {"Matches", "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\r\n", nullptr,
     {"It's only for", kLogged}, true, 0},
    {"FlagY", "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"Y\"", nullptr, {"It's only for", kLogged}, true, 1},
    {"Flagy", "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"y\"", nullptr, {"It's only for", kLogged}, true, 1},
    {"LongNameMatchesOn24", "\"KAVORA  CD-ROM VIRTUAL  XYZ\" \"KV110.hex\" \"N\"", nullptr,
     {"It's only for", kLogged}, true, 0},
    {"TrimmedBlanksMatchNothing", "\"KAVORA CD-ROM VIRTUAL\" \"KV110.hex\" \"N\"", nullptr,
     {"It's only for", "(1) KAVORA CD-ROM VIRTUAL.", "CD-ROM drive model doesn't match!!"}, false, 0},
    {"Missing", nullptr, "The IDString.txt doesn't exist!!", {}, true, 0},
    {"ByteOrderMark", "\xEF\xBB\xBF\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"",
     "Input file context is incorrect!!", {}, true, 0},
};

INSTANTIATE_TEST_SUITE_P(Files, ModelListOutcome, ::testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialog, NoDriveDisablesUpgrade)
{
    h.machine.AddHardDisk('c');
    h.Open();
    EXPECT_TRUE(h.ComboItems().empty());
    EXPECT_EQ(h.LogLines(), (Lines{"It's only for", kLogged, "CD-ROM drive model doesn't match!!"}));
    EXPECT_FALSE(h.Enabled(IDC_UPGRADE));
}

// Each family finds the same drive with its own method.
class Families : public ::testing::TestWithParam<Family> {};

TEST_P(Families, FindDriveAndEnableUpgrade)
{
    DialogHarness h;
    DialogHarness::WriteModelList(kListLine);
    h.ui.family = GetParam();
    h.machine.AddCdRom('d', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.00"));
    CFlashDlg& dialog = h.Open();
    EXPECT_EQ(dialog.m_bIsNT, GetParam() != Family::Win9x);
    EXPECT_EQ(dialog.m_bNT4, GetParam() == Family::NT4);
    EXPECT_EQ(h.ComboItems(), (Lines{std::string(kModel) + "(0)"}));
    EXPECT_TRUE(h.Enabled(IDC_UPGRADE));
    EXPECT_TRUE(h.ui.boxes.empty()) << h.ui.boxes.front().caption << ": " << h.ui.boxes.front().text;
}

INSTANTIATE_TEST_SUITE_P(All, Families, ::testing::Values(Family::NT5, Family::NT4, Family::Win9x));

struct BindingCase {
    const char* name;
    AspiLibrary library;
    const char* text;
    const char* caption;
    UINT style;
};

class AspiBindingFailure : public ::testing::TestWithParam<BindingCase> {};

TEST_P(AspiBindingFailure, DialogOpensWithNothingToUpgrade)
{
    const BindingCase& c = GetParam();
    DialogHarness h;
    DialogHarness::WriteModelList(kListLine);
    h.ui.family = Family::Win9x;
    h.machine.AddCdRom('d', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.00"));
    h.machine.SetAspiLibrary(c.library);
    h.Open();

    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text, c.text);
    EXPECT_EQ(h.ui.boxes[0].caption, c.caption);
    EXPECT_EQ(h.ui.boxes[0].style, c.style);
    EXPECT_TRUE(h.ComboItems().empty());
    EXPECT_FALSE(h.Enabled(IDC_UPGRADE));
    EXPECT_FALSE(h.Enabled(IDC_REVISION));
    // The model list is still read, and finds no drive.
    EXPECT_EQ(h.LogLines(), (Lines{"It's only for", kLogged, "CD-ROM drive model doesn't match!!"}));
}

const BindingCase kBindingCases[] = {
    {"Missing", AspiLibrary::Missing, "No find the dynamic library!!", "Error!!", MB_OK | MB_ICONINFORMATION},
    {"OneEntryPoint", AspiLibrary::OnlySupportInfo, "Cannot Load Dynamic Library!!!", "Error!", MB_OKCANCEL},
};

INSTANTIATE_TEST_SUITE_P(Libraries, AspiBindingFailure, ::testing::ValuesIn(kBindingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialog, AboutItemOpensTheAboutBox)
{
    h.Open();
    HMENU menu = ::GetSystemMenu(h.Hwnd(), FALSE);
    int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    char text[64] = {};
    ::GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About KAVORA...");
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));

    std::string caption;
    h.ui.onDialog = [&](CDialog& about) {
        caption = about.GetWindowText();
        about.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    ::SendMessageA(h.Hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(h.ui.dialogsShown.back(), static_cast<UINT>(IDD_ABOUTBOX));
    EXPECT_EQ(caption, "KAVORA");
}

TEST_F(MainDialog, DragIconIsTheApplicationIcon)
{
    CFlashDlg& dialog = h.Open();
    EXPECT_NE(dialog.m_hIcon, nullptr);
    EXPECT_EQ(::SendMessageA(h.Hwnd(), WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog.m_hIcon));
}

TEST_F(MainDialog, CloseEndsTheDialogWhenIdle)
{
    CFlashDlg& dialog = h.Open();
    h.Click(IDCANCEL);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDCANCEL);
}

TEST_F(MainDialog, LogKeepsEveryLineWhateverItsLength)
{
    void* dialog = &h.Open();
    ::SetDlgItemTextA(h.Hwnd(), IDC_LOG, "");
    CBShowMessage(dialog, "first");
    // What the user types stays, and the next line follows it.
    ::SetDlgItemTextA(h.Hwnd(), IDC_LOG, (h.Text(IDC_LOG) + " typed").c_str());
    std::string longLine(600, 'x');
    CBShowMessage(dialog, longLine.c_str());
    for (int i = 0; i < 30; ++i)
        CBShowMessage(dialog, ("line " + std::to_string(i)).c_str());

    Lines lines = h.LogLines();
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], "first typed");
    EXPECT_EQ(lines[1], longLine);
    EXPECT_EQ(lines[31], "line 29");
    // The last line is in view.
    HWND log = ::GetDlgItem(h.Hwnd(), IDC_LOG);
    EXPECT_GT(::SendMessageA(log, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(MainDialog, SettersReachTheirControls)
{
    h.machine.AddCdRom('d', Identity("KAVORA  ", "CD-ROM VIRTUAL  ", "1.00"));
    void* dialog = &h.Open();
    CBShowStatus(dialog, "Updating.....");
    CBSetRevision(dialog, "1.10");
    CBSetDriveName(dialog, "NEW NAME");
    CBSetProgress(dialog, 42);
    EXPECT_EQ(h.Text(IDC_STATUS), "Updating.....");
    EXPECT_EQ(h.Text(IDC_REVISION), "1.10");
    EXPECT_EQ(h.Text(IDC_DRIVE), "NEW NAME");
    EXPECT_EQ(h.Progress(), 42);
    // The list is untouched, so a later choice still finds the drive.
    EXPECT_EQ(h.ComboItems(), (Lines{std::string(kModel) + "(0)"}));
    h.Choose(0);
    EXPECT_EQ(h.Text(IDC_REVISION), "1.00");
    EXPECT_EQ(CBIfTerminated(dialog), 0);
}

} // namespace
