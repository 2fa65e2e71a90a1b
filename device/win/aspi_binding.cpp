#include <windows.h>

#include "device/win/device_io.h"
#include "device/win/drive_table.h"

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

AspiBinding BindAspiLibrary(DriveTable& table)
{
    // NT reaches its drives by pass-through; ASPI need not even be installed.
    if (table.m_bIsNT)
        return AspiBinding::NotNeeded;

    table.m_hAspiDll = Dev().LoadLibrary("WNASPI32");
    if (!table.m_hAspiDll)
        return AspiBinding::LibraryMissing;
    pfnGetASPI32SupportInfo =
        EntryPoint<GetASPI32SupportInfoFn>(table.m_hAspiDll, "GetASPI32SupportInfo");
    pfnSendASPI32Command = EntryPoint<SendASPI32CommandFn>(table.m_hAspiDll, "SendASPI32Command");
    // Without both the library stays loaded; the program runs on without drives.
    if (!pfnGetASPI32SupportInfo || !pfnSendASPI32Command)
        return AspiBinding::EntryPointMissing;
    return AspiBinding::Bound;
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
