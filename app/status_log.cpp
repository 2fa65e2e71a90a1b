#include "app/status_log.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/flash_dlg.h"
#include "res/resource.h"

std::atomic<std::uint8_t> g_bTerminate{0};

namespace {

HWND Control(int id)
{
    return g_pFlashDlg ? g_pFlashDlg->GetDlgItem(id) : nullptr;
}

void SetText(int id, const char* text)
{
    if (HWND hwnd = Control(id))
        ::SetWindowTextA(hwnd, text ? text : "");
}

} // namespace

void CBShowMessage(const char* text)
{
    HWND log = Control(IDC_LOG);
    if (!log)
        return;
    // The whole log is read back, so that no earlier line is ever dropped,
    // whatever its length.
    int length = ::GetWindowTextLengthA(log);
    std::vector<char> current(static_cast<size_t>(length) + 1);
    ::GetWindowTextA(log, current.data(), length + 1);

    std::string updated = current.data();
    if (!updated.empty())
        updated += "\r\n";
    updated += text ? text : "";
    ::SetWindowTextA(log, updated.c_str());

    LRESULT lines = ::SendMessageA(log, EM_GETLINECOUNT, 0, 0);
    ::SendMessageA(log, EM_LINESCROLL, 0, lines);
}

void CBShowStatus(const char* text) { SetText(IDC_STATUS, text); }

void CBSetRevision(const char* text) { SetText(IDC_REVISION, text); }

void CBSetDriveName(const char* text) { SetText(IDC_DRIVE, text); }

void CBSetProgress(std::int32_t position)
{
    if (HWND bar = Control(IDC_PROGRESS))
        ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::uint8_t CBIfTerminated() { return g_bTerminate.load(); }
