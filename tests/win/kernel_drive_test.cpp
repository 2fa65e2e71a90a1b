// The product binary against a drive of the real kernel's SCSI stack, driven
// as a user drives it: run by the QEMU lane under Wine, where d: is the
// kernel's scsi_debug; skipped everywhere else.
//   KAVORA_KERNEL_DRIVE=upgrade  the run must end "Please Restart Your Computer."
//   KAVORA_KERNEL_DRIVE=vanish   the drive is taken away mid-run: it must end
//                                "Flashing is incorrect!!"
// The dialog's log and fields are printed for the lane's report.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "res/resource.h"
#include "tests/win/support/product_process.h"

namespace {

constexpr char kDriveText[] = "Linux   scsi_debug      (0)";
constexpr int kRunLimitMs = 10 * 60 * 1000; // software emulation is slow
constexpr int kStartLimitMs = 3 * 60 * 1000;

void Click(HWND dialog, int id)
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// A run's log ends with its closing line and then a line on what became of
// the drive: the closing line, or empty while that last line is missing.
std::string ClosingLineOf(const std::string& log)
{
    const std::size_t last = log.rfind("\r\n");
    if (last == std::string::npos)
        return "";
    const std::size_t before = log.rfind("\r\n", last == 0 ? 0 : last - 1);
    const std::size_t start = before == std::string::npos ? 0 : before + 2;
    return log.substr(start, last - start);
}

TEST(KernelDrive, UpgradeThroughTheRealDialog)
{
    const char* expected = std::getenv("KAVORA_KERNEL_DRIVE");
    if (!expected)
        GTEST_SKIP() << "only in the QEMU lane, where d: is the kernel's scsi_debug";
    const bool vanish = std::string(expected) == "vanish";
    const std::string exe = ProductPath();
    ASSERT_FALSE(exe.empty()) << "KAVORA_EXE names the program under test";

    PROCESS_INFORMATION process{};
    ASSERT_TRUE(StartProduct(exe, process));
    HWND dialog = WaitForWindow(process.dwProcessId, "KAVORA", kStartLimitMs);
    ASSERT_NE(dialog, nullptr) << "the dialog did not appear";

    // Choose the kernel's drive from the list, as a user would.
    HWND combo = ::GetDlgItem(dialog, IDC_DRIVE);
    const LRESULT index = ::SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(kDriveText));
    ASSERT_NE(index, CB_ERR) << "the drive list: " << ControlText(dialog, IDC_LOG);
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(ControlText(dialog, IDC_REVISION), "0191");
    ASSERT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_UPGRADE)));

    Click(dialog, IDC_UPGRADE);
    // The list asks for confirmation: the warning dialog names the drive.
    HWND warning = WaitForWindow(process.dwProcessId, "Welcome To The Upgrade Program", kStartLimitMs);
    ASSERT_NE(warning, nullptr) << "the warning dialog did not appear";
    EXPECT_EQ(ControlText(warning, IDC_WARN_MODEL), kDriveText);
    Click(warning, IDOK);

    const std::string closing = vanish ? "Flashing is incorrect!!" : "Please Restart Your Computer.";
    std::string log;
    for (int waited = 0; waited < kRunLimitMs; waited += 200) {
        log = ControlText(dialog, IDC_LOG);
        const std::string ended = ClosingLineOf(log);
        if (::IsWindowEnabled(::GetDlgItem(dialog, IDCANCEL)) &&
            (ended == "Please Restart Your Computer." || ended == "Flashing is incorrect!!"))
            break;
        ::Sleep(200);
    }
    std::printf("DIALOG LOG:\n%s\nDIALOG REVISION: %s\nDIALOG DRIVE: %s\n", log.c_str(),
                ControlText(dialog, IDC_REVISION).c_str(), ControlText(dialog, IDC_DRIVE).c_str());
    EXPECT_EQ(ClosingLineOf(log), closing) << log;
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDCANCEL))) << "Close came back";
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_UPGRADE)));
    if (!vanish) {
        EXPECT_EQ(ControlText(dialog, IDC_REVISION), "0191");
    }

    Click(dialog, IDCANCEL);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

} // namespace
