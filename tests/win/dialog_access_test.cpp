// The main dialog for users who do not see it or do not use a mouse: the
// names screen readers are given, what is announced, where the focus goes,
// what Enter does, and where the dialog opens.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/status_log.h"
#include "res/resource.h"
#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using engine_test::MakeImage;

const char kListLine[] = "\"KAVORA  CD-ROM VIRTUAL  \" \"fw.bin\" \"N\"\r\n";

DriveIdentity Identity(const char* revision)
{
    DriveIdentity id;
    id.vendor = "KAVORA  ";
    id.product = "CD-ROM VIRTUAL  ";
    id.revision = revision;
    return id;
}

class DialogAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        DialogHarness::WriteModelList(kListLine);
        DialogHarness::WriteFile("fw.bin", MakeImage(3 * 4096, 0x100, "1.10"));
    }
    HWND Item(int id) const { return ::GetDlgItem(h.Hwnd(), id); }
    RecordingUi::Annotations& Of(HWND control) { return h.ui.annotations[control]; }
    DialogHarness h;
};

TEST_F(DialogAccess, EveryControlWithoutAnAccessibleNameOfItsOwnIsGivenOne)
{
    h.machine.AddCdRom('d', Identity("1.00"));
    h.Open();
    struct Named {
        HWND control;
        const char* name;
        bool live;
    };
    const Named expected[] = {
        {Item(IDC_DRIVE), "Target Drive At", false},
        {Item(IDC_REVISION), "Device Revision: 1.00", false},
        {Item(IDC_STATUS), "Status", true},
        {Item(IDC_PROGRESS), "Progress", false},
        {Item(IDC_LOG), "Log", true},
        {FirstChildOfKind(h.Hwnd(), "Button", BS_TYPEMASK, BS_GROUPBOX), "KAVORA MCU Flash Version 2.70", false},
        {FirstChildOfKind(h.Hwnd(), "Static", SS_TYPEMASK, SS_BITMAP), "KAVORA logo", false},
    };
    for (const Named& n : expected) {
        ASSERT_NE(n.control, nullptr) << n.name;
        EXPECT_EQ(Of(n.control).name, n.name);
        EXPECT_EQ(Of(n.control).live, n.live) << n.name;
    }
    EXPECT_TRUE(Of(Item(IDC_DRIVE)).description.has_value());
    // Buttons are named by their own text.
    EXPECT_FALSE(Of(Item(IDC_UPGRADE)).name.has_value());
    EXPECT_FALSE(Of(Item(IDCANCEL)).name.has_value());
}

TEST_F(DialogAccess, RevisionNameFollowsTheDriveChosen)
{
    h.machine.AddCdRom('d', Identity("1.00"));
    h.machine.AddCdRom('e', Identity("1.07"));
    h.Open();
    h.ui.events.clear();
    h.Choose(0);
    EXPECT_EQ(Of(Item(IDC_REVISION)).name, "Device Revision: 1.00");
    EXPECT_EQ(h.ui.events, (std::vector<std::pair<DWORD, HWND>>{{EVENT_OBJECT_NAMECHANGE, Item(IDC_REVISION)}}));
    // A choice that matches no drive leaves blanks, which are not read out.
    h.Type("nothing");
    ::SendMessageA(Item(IDC_DRIVE), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageA(h.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELENDOK), reinterpret_cast<LPARAM>(Item(IDC_DRIVE)));
    EXPECT_EQ(Of(Item(IDC_REVISION)).name, "Device Revision");
}

// The status line is a live region: a new text is its new name, and where
// the system listens for live regions (Windows 8, 6.2, on) it is told so.
TEST_F(DialogAccess, NewStatusTextIsAnnounced)
{
    struct System {
        DWORD platform, major, minor;
        bool liveEvent;
    };
    const System systems[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, false},
        {VER_PLATFORM_WIN32_NT, 5, 1, false},
        {VER_PLATFORM_WIN32_NT, 6, 1, false},
        {VER_PLATFORM_WIN32_NT, 6, 2, true},
        {VER_PLATFORM_WIN32_NT, 10, 0, true},
    };
    h.machine.AddCdRom('d', Identity("1.00"));
    CFlashDlg& dialog = h.Open();
    HWND status = Item(IDC_STATUS);
    for (const System& s : systems) {
        SCOPED_TRACE(std::to_string(s.major) + "." + std::to_string(s.minor));
        h.ui.SetVersion(s.platform, s.major, s.minor);
        h.ui.events.clear();
        CBShowStatus(&dialog, "Updating.....");
        EXPECT_EQ(Of(status).name, "Status: Updating.....");
        std::vector<std::pair<DWORD, HWND>> expected{{EVENT_OBJECT_NAMECHANGE, status}};
        if (s.liveEvent)
            expected.emplace_back(EVENT_OBJECT_LIVEREGIONCHANGED, status);
        EXPECT_EQ(h.ui.events, expected);
    }
}

// Upgrade loses its enabling at the start of the run while it has the focus;
// the focus moves on, never resting on a disabled control, and comes to
// Close at the end.
TEST_F(DialogAccess, FocusNeverRestsOnADisabledControl)
{
    h.machine.AddCdRom('d', Identity("1.00"));
    CFlashDlg& dialog = h.Open();
    ::SetFocus(Item(IDC_UPGRADE));
    ASSERT_EQ(::GetFocus(), Item(IDC_UPGRADE));
    h.machine.GateAt({0x3B, 0x06}, 1);
    h.Click(IDC_UPGRADE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.machine.Reached(); }));
    HWND focus = ::GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(focus));
    EXPECT_EQ(focus, Item(IDC_LOG)) << "the control before Upgrade in the tab order";
    h.machine.Release();
    ASSERT_TRUE(h.PumpUntil([&] { return !dialog.IsRunning(); }));
    EXPECT_EQ(::GetFocus(), Item(IDCANCEL));
}

// A window that is not in front when the run ends flashes its taskbar button
// until the user comes back; one in front does not.
class RunEndFlash : public DialogAccess, public ::testing::WithParamInterface<bool> {};

TEST_P(RunEndFlash, OnlyAWindowNotInFront)
{
    const bool inFront = GetParam();
    h.machine.AddCdRom('d', Identity("1.00"));
    CFlashDlg& dialog = h.Open();
    h.ui.foreground = inFront ? dialog.m_hWnd : nullptr;
    ASSERT_TRUE(h.UpgradeAndWait());
    EXPECT_EQ(h.ui.flashed, inFront ? std::vector<HWND>{} : std::vector<HWND>{dialog.m_hWnd});
}

INSTANTIATE_TEST_SUITE_P(InFront, RunEndFlash, ::testing::Bool());

// Tab goes through the controls a user acts on in reading order: the drive
// list, the log, Upgrade, Close, and round again.
TEST_F(DialogAccess, TabFollowsReadingOrder)
{
    h.machine.AddCdRom('d', Identity("1.00"));
    h.Open();
    const int order[] = {IDC_DRIVE, IDC_LOG, IDC_UPGRADE, IDCANCEL, IDC_DRIVE};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        EXPECT_EQ(::GetNextDlgTabItem(h.Hwnd(), Item(order[i]), FALSE), Item(order[i + 1])) << "after " << order[i];
    }
}

// There is no OK button: Enter in the idle dialog (IDOK from the dialog
// manager) leaves it open; Escape (IDCANCEL) closes it.
TEST_F(DialogAccess, EnterDoesNotCloseTheIdleDialog)
{
    h.machine.AddCdRom('d', Identity("1.00"));
    CFlashDlg& dialog = h.Open();
    ::SendMessageA(h.Hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(dialog.IsEnded());
    ::SendMessageA(h.Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDCANCEL);
}

TEST_F(DialogAccess, OpensInTheMiddleOfTheWorkArea)
{
    h.Open();
    RECT area{}, window{};
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    ::GetWindowRect(h.Hwnd(), &window);
    EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (area.top + area.bottom) / 2, 1);
}

} // namespace
