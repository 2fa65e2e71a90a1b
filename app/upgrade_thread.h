// The worker thread of one upgrade run.
#pragma once

#include <windows.h>

class CFlashDlg;

// The thread's entry: runs the engine on a copy of the dialog's parameters,
// then gives the dialog its Close button back. Upgrade stays disabled.
DWORD WINAPI UpgradeThreadProc(LPVOID dialog);

// Starts the worker for `dialog`; false when no thread could be started.
bool StartUpgradeThread(CFlashDlg* dialog);
