// The routine the console calls on Ctrl-C, Ctrl-Break, closing the console,
// logging off and shutting down, while a run is under way. Declared for the
// tests, which ask it as the console does.
#pragma once

#include <windows.h>

BOOL WINAPI OnConsoleRequest(DWORD request);
