#include "demo/demo_driver.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/flash_dlg.h"
#include "framework/dialog.h"
#include "res/resource.h"

namespace {

constexpr UINT_PTR kTimerId = 0xDE30;
constexpr UINT kTickMs = 100;
constexpr int kGiveUpTicks = 1200; // two minutes
constexpr UINT_PTR kWarningTimerId = 0xDE31;
constexpr UINT kWarningDelayMs = 300;

DemoDriver* g_driver = nullptr;

const char kSuccessLine[] = "Please Restart Your Computer.";
const char kFailureLine[] = "Flashing is incorrect!!";
const char kUpgradedLine[] = "Upgraded: ";

std::string DialogText(HWND dialog, int id)
{
    HWND control = ::GetDlgItem(dialog, id);
    int length = ::GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// The run's last two lines: its closing line, then what became of the drive.
bool EndsWith(const std::string& text, const char* closing, const char* stateStart)
{
    const std::string tail = std::string("\r\n") + closing + "\r\n" + stateStart;
    const std::size_t at = text.rfind(tail);
    return at != std::string::npos && text.find("\r\n", at + tail.size()) == std::string::npos;
}

void Click(HWND dialog, int id)
{
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

} // namespace

DemoDriver::DemoDriver(DemoOptions options) : m_options(std::move(options)) { g_driver = this; }

int DemoDriver::MessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    if (!m_options.autoRun)
        return UiSeam::MessageBox(owner, text, caption, style);
    // Nobody is there to press OK: note the box and answer it.
    m_boxes += std::string("[message box] ") + caption + ": " + text + "\r\n";
    return IDOK;
}

void DemoDriver::DialogShown(CDialog& dialog)
{
    if (dialog.TemplateId() == IDD_WARNING) {
        // The window has no painted surface yet: look again a moment later.
        if (m_options.autoRun || !m_options.warningShotPath.empty())
            ::SetTimer(dialog.m_hWnd, kWarningTimerId, kWarningDelayMs, &DemoDriver::OnWarningTimer);
        return;
    }
    if (dialog.TemplateId() == IDD_KAVORA_DIALOG && m_options.autoRun && !m_main) {
        m_main = dialog.m_hWnd;
        ::SetTimer(m_main, kTimerId, kTickMs, &DemoDriver::OnTimer);
    }
}

void CALLBACK DemoDriver::OnWarningTimer(HWND warning, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(warning, id);
    if (!g_driver)
        return;
    if (!g_driver->m_options.warningShotPath.empty()) {
        ::RedrawWindow(warning, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        SaveWindowBitmap(warning, g_driver->m_options.warningShotPath);
    }
    if (g_driver->m_options.autoRun)
        ::PostMessageA(warning, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(warning, IDOK)));
}

void CALLBACK DemoDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_driver)
        g_driver->Step();
}

void DemoDriver::Step()
{
    ++m_ticks;
    if (m_phase == 0) {
        if (!::IsWindowEnabled(::GetDlgItem(m_main, IDC_UPGRADE))) {
            Finish(2);
            return;
        }
        // Choose the list item the dialog shows, as a user would.
        HWND combo = ::GetDlgItem(m_main, IDC_DRIVE);
        std::string shown = DialogText(m_main, IDC_DRIVE);
        LRESULT index = ::SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(shown.c_str()));
        if (index != CB_ERR) {
            ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            ::SendMessageA(m_main, WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELENDOK),
                           reinterpret_cast<LPARAM>(combo));
        }
        m_phase = 1;
        return;
    }
    if (m_phase == 1) {
        // The click may run the warning dialog's modal loop, in which this
        // timer keeps ticking: move on first.
        m_phase = 2;
        Click(m_main, IDC_UPGRADE);
        return;
    }
    if (m_phase == 2) {
        std::string log = DialogText(m_main, IDC_LOG);
        bool running = g_pFlashDlg && g_pFlashDlg->IsRunning();
        if (!running && EndsWith(log, kSuccessLine, kUpgradedLine))
            Finish(0);
        else if (!running && ::IsWindowEnabled(::GetDlgItem(m_main, IDCANCEL)))
            Finish(1); // refused, or ended with "Flashing is incorrect!!"
        else if (m_ticks > kGiveUpTicks)
            Finish(4);
    }
}

void DemoDriver::Finish(int exitCode)
{
    ::KillTimer(m_main, kTimerId);
    m_phase = 3;
    m_exitCode = exitCode;

    if (!m_options.logPath.empty()) {
        if (std::FILE* out = std::fopen(m_options.logPath.c_str(), "wb")) {
            std::string log = DialogText(m_main, IDC_LOG);
            std::fprintf(out, "%s%s\r\n", m_boxes.c_str(), log.c_str());
            std::fclose(out);
        }
    }
    if (!m_options.screenshotPath.empty()) {
        ::RedrawWindow(m_main, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        SaveWindowBitmap(m_main, m_options.screenshotPath);
    }
    ::PostMessageA(m_main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}
