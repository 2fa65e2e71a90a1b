// The dialog routines through which the log box, status line, progress bar
// and drive fields are written, on either thread. Their context is the
// dialog (a CFlashDlg); a null context writes nowhere.
#pragma once

#include <atomic>
#include <cstdint>

void CBShowMessage(void* dialog, const char* text);
void CBShowStatus(void* dialog, const char* text);
void CBSetRevision(void* dialog, const char* text);
void CBSetDriveName(void* dialog, const char* text);
void CBSetProgress(void* dialog, std::int32_t position);
std::uint8_t CBIfTerminated(void* dialog);

// The stop request: set by the dialog, read by the engine, cleared by the
// worker at the end of every run.
extern std::atomic<std::uint8_t> g_bTerminate;
