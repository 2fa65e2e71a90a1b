// The dialog routines through which the log box, status line, progress bar
// and drive fields are written, on either thread. Their context is the
// dialog (a CFlashDlg); a null context writes nowhere.
#pragma once

#include <cstdint>

#include "flash/stop_request.h"

void CBShowMessage(void* dialog, const char* text);
void CBShowStatus(void* dialog, const char* text);
void CBSetRevision(void* dialog, const char* text);
void CBSetDriveName(void* dialog, const char* text);
void CBSetProgress(void* dialog, std::int32_t position);
std::uint8_t CBIfTerminated(void* dialog);

// The stop request: made by the dialog, answered to the engine through
// CBIfTerminated, closed by the engine before the last block, cleared by the
// worker at the end of every run.
extern StopRequest g_bTerminate;
