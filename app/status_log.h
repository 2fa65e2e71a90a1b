// The dialog routines through which the log box, status line, progress bar
// and drive fields are written, on either thread. They reach the dialog
// through g_pFlashDlg.
#pragma once

#include <atomic>
#include <cstdint>

void CBShowMessage(const char* text);
void CBShowStatus(const char* text);
void CBSetRevision(const char* text);
void CBSetDriveName(const char* text);
void CBSetProgress(std::int32_t position);
std::uint8_t CBIfTerminated();

// The stop request: set by the dialog, read by the engine, cleared by the
// worker at the end of every run.
extern std::atomic<std::uint8_t> g_bTerminate;
