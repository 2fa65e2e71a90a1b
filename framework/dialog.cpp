#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/dpi.h"
#include "framework/system_colours.h"
#include "framework/ui_seam.h"

namespace {
// Posted at the end of initialisation: when it arrives the dialog is up and
// its modal loop, if any, is running.
constexpr UINT kMsgShown = WM_APP + 0x3F00;
} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplate(templateId), m_pParent(parent) {}

INT_PTR CDialog::DoModal()
{
    m_bModal = true;
    m_bEnded = false;
    HWND owner = m_pParent ? m_pParent->m_hWnd : nullptr;
    INT_PTR result = ::DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(m_nTemplate), owner,
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

BOOL CDialog::Create(HWND parent)
{
    m_bModal = false;
    m_bEnded = false;
    HWND hwnd = ::CreateDialogParamA(AppInstance(), MAKEINTRESOURCEA(m_nTemplate), parent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

void CDialog::EndDialog(int result)
{
    m_nResult = result;
    m_bEnded = true;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ShowWindow(SW_HIDE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam)
{
    // Only initialisation is handled here; every later message reaches the
    // object through the subclassed window procedure.
    if (msg != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->SubclassWindow(hwnd);
    BOOL focus = dialog->OnInitDialog();
    dialog->CenterOnMonitor();
    dialog->PostMessage(kMsgShown);
    return focus;
}

void CDialog::CenterOnMonitor()
{
    RECT area{};
    // Monitors came with Windows 98 and 2000; before them the one screen's
    // work area is all there is.
    using MonitorFromWindowFn = HMONITOR(WINAPI*)(HWND, DWORD);
    using GetMonitorInfoFn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
    static const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    static const auto monitorFromWindow = reinterpret_cast<MonitorFromWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "MonitorFromWindow")));
    static const auto getMonitorInfo = reinterpret_cast<GetMonitorInfoFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetMonitorInfoA")));
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (monitorFromWindow && getMonitorInfo &&
        getMonitorInfo(monitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        area = monitor.rcWork;
    else if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
        return;

    RECT window;
    GetWindowRect(&window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    // A dialog taller or wider than the work area keeps its caption on it.
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x < area.left)
        x = area.left;
    if (y < area.top)
        y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::DDX_Control(int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassDlgItem(static_cast<UINT>(id), this);
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg == kMsgShown) {
        Ui().DialogShown(*this);
        *result = 0;
        return TRUE;
    }
    // Only top-level windows hear that colours, settings or the theme
    // changed: the controls, which draw with them, are told here.
    if (IsSystemChange(msg))
        SendToChildren(m_hWnd, msg, wParam, lParam);
    if (msg == WM_DPICHANGED && lParam) {
        // Moved to a monitor of another scale: take the place and size the
        // system suggests for it, then let the dialog manager scale the
        // template's controls and fonts (the custom controls follow on their
        // own notice).
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                       suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        OnDpiChanged(HIWORD(wParam));
        return FALSE;
    }
    if (CWnd::OnWndMsg(msg, wParam, lParam, result))
        return TRUE;
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            *result = 0;
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            *result = 0;
            return TRUE;
        }
    }
    return FALSE;
}
