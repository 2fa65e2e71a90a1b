// The drive table and the drive-access state that the main dialog keeps.
// The dialog derives from it, so these are the dialog's own members.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device/drive_entry.h"

struct DriveTable {
    HANDLE m_hDevice = INVALID_HANDLE_VALUE; // handle opened last by the scan
    bool m_bIsNT = false;
    bool m_bNT4 = false;
    HMODULE m_hAspiDll = nullptr;
    DriveEntry* m_pDrives[kMaxDrives] = {};
    std::int32_t m_nDriveCount = 0;
};

// ASPI entry points, bound once on 9x-family systems.
using GetASPI32SupportInfoFn = DWORD(__cdecl*)();
using SendASPI32CommandFn = DWORD(__cdecl*)(void* request);
extern GetASPI32SupportInfoFn pfnGetASPI32SupportInfo;
extern SendASPI32CommandFn pfnSendASPI32Command;

// Binds WNASPI32 on 9x-family systems (NT: true at once). Failures show their
// message box owned by `owner`.
bool LoadAspiLibrary(DriveTable& table, HWND owner);
// Closes the handle the scan opened last and frees the library, if loaded.
bool ReleaseDriveAccess(DriveTable& table);
// Finds the CD-ROM class drives with the method the system family calls for.
void ScanDrives(DriveTable& table);
