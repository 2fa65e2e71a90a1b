// Calls whose outcome a test must observe or choose: message boxes, the
// working directory, the system version, and the moment a dialog is up.
// The product uses the real system; tests install their own.
#pragma once

#include <windows.h>

class CDialog;

class UiSeam {
public:
    virtual ~UiSeam() = default;
    virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT style);
    virtual DWORD GetCurrentDirectory(DWORD length, char* buffer);
    virtual BOOL GetVersionEx(OSVERSIONINFOA* info);
    // Called once a dialog has finished its initialisation and is on screen.
    virtual void DialogShown(CDialog& dialog);
};

UiSeam& Ui();
// Installs `seam` (null restores the real system) and returns the previous one.
UiSeam* SetUiSeam(UiSeam* seam);
