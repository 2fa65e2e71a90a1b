#include "app/status_log.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/flash_dlg.h"
#include "res/resource.h"

StopRequest g_bTerminate;

namespace {

HWND Control(void* dialog, int id)
{
    return dialog ? static_cast<CFlashDlg*>(dialog)->GetDlgItem(id) : nullptr;
}

void SetText(void* dialog, int id, const char* text)
{
    if (HWND hwnd = Control(dialog, id))
        ::SetWindowTextA(hwnd, text ? text : "");
}

// The status line and the revision label are also named for screen readers
// by what they show.
void SetShownText(void* dialog, int id, const char* text)
{
    SetText(dialog, id, text);
    if (dialog)
        static_cast<CFlashDlg*>(dialog)->TextShown(id);
}

} // namespace

void CBShowMessage(void* dialog, const char* text)
{
    HWND log = Control(dialog, IDC_LOG);
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

void CBShowStatus(void* dialog, const char* text) { SetShownText(dialog, IDC_STATUS, text); }

void CBSetRevision(void* dialog, const char* text) { SetShownText(dialog, IDC_REVISION, text); }

void CBSetDriveName(void* dialog, const char* text) { SetText(dialog, IDC_DRIVE, text); }

void CBSetProgress(void* dialog, std::int32_t position)
{
    if (HWND bar = Control(dialog, IDC_PROGRESS))
        ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::uint8_t CBIfTerminated(void*) { return g_bTerminate.Requested() ? 1 : 0; }
