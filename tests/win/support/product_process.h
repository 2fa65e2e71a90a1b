// The product binary as a process of its own, started as a user starts it,
// and its windows found and read from outside.
#pragma once

#include <windows.h>

#include <string>

// The program's path, handed over by the test runner as a Unix path in
// `variable`: KAVORA_EXE for the dialog program, KAVORA_CLI_EXE for the
// console one; empty when it was not.
std::string ProductPath(const char* variable = "KAVORA_EXE");

// Starts `exe` in the current directory; false when it could not be started.
bool StartProduct(const std::string& exe, PROCESS_INFORMATION& process);

// A visible top-level window of `process` with this title, waited for up to
// `limitMs`; null when none came.
HWND WaitForWindow(DWORD process, const char* title, int limitMs);

// A control's text, read across the process boundary.
std::string ControlText(HWND dialog, int id);
