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

enum class AspiBinding {
    NotNeeded,         // NT family: drives are reached by pass-through
    Bound,             // both entry points set
    LibraryMissing,    // "WNASPI32" did not load
    EntryPointMissing, // loaded, but an entry point is missing; the library stays loaded
};

// Binds WNASPI32 on 9x-family systems. Shows nothing: telling the user is
// the front end's business.
AspiBinding BindAspiLibrary(DriveTable& table);
// Closes the handle the scan opened last and frees the library, if loaded.
bool ReleaseDriveAccess(DriveTable& table);
// Finds the CD-ROM class drives with the method the system family calls for.
void ScanDrives(DriveTable& table);
// The NT family's scan, letter by letter, from `first` on: a program with
// more drives than one table holds (a duplicator tower) goes on from the
// letter after the last one a full table took.
void ScanLettersFrom(DriveTable& table, char first);
