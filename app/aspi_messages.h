// Binding the ASPI library at start-up, and telling the user when it fails.
#pragma once

#include <windows.h>

#include "device/win/drive_table.h"

// Binds WNASPI32 on 9x-family systems (NT: true at once). Each failure shows
// its message box, owned by `owner`, and answers false.
bool LoadAspiLibrary(DriveTable& table, HWND owner);
