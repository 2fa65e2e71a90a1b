#include <windows.h>

#include "device/device_io.h"
#include "device/drive_table.h"
#include "framework/ui_seam.h"

GetASPI32SupportInfoFn pfnGetASPI32SupportInfo = nullptr;
SendASPI32CommandFn pfnSendASPI32Command = nullptr;

namespace {

template <typename Fn>
Fn EntryPoint(HMODULE library, const char* name)
{
    // Through the generic function type: the exported one says nothing true.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(Dev().GetProcAddress(library, name)));
}

} // namespace

bool LoadAspiLibrary(DriveTable& table, HWND owner)
{
    // NT reaches its drives by pass-through; ASPI need not even be installed.
    if (table.m_bIsNT)
        return true;

    table.m_hAspiDll = Dev().LoadLibrary("WNASPI32");
    if (!table.m_hAspiDll) {
        Ui().MessageBox(owner, "No find the dynamic library!!", "Error!!",
                        MB_OK | MB_ICONINFORMATION);
        return false;
    }
    pfnGetASPI32SupportInfo =
        EntryPoint<GetASPI32SupportInfoFn>(table.m_hAspiDll, "GetASPI32SupportInfo");
    pfnSendASPI32Command = EntryPoint<SendASPI32CommandFn>(table.m_hAspiDll, "SendASPI32Command");
    if (!pfnGetASPI32SupportInfo || !pfnSendASPI32Command) {
        // The library stays loaded; the program runs on without drives.
        Ui().MessageBox(owner, "Cannot Load Dynamic Library!!!", "Error!", MB_OKCANCEL);
        return false;
    }
    return true;
}

bool ReleaseDriveAccess(DriveTable& table)
{
    if (table.m_hDevice != INVALID_HANDLE_VALUE) {
        Dev().CloseHandle(table.m_hDevice);
        table.m_hDevice = INVALID_HANDLE_VALUE;
    }
    if (table.m_hAspiDll) {
        Dev().FreeLibrary(table.m_hAspiDll);
        table.m_hAspiDll = nullptr;
    }
    return true;
}
