// Calls whose outcome a test must observe or choose: message boxes, the
// working directory, the system version, the moment a dialog is up, and what
// the program tells screen readers and the user's ears and eyes.
// The product uses the real system; tests install their own.
#pragma once

#include <windows.h>

#include <string>

#include "framework/accessibility.h"

class CDialog;

class UiSeam {
public:
    virtual ~UiSeam() = default;
    virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT style);
    virtual DWORD GetCurrentDirectory(DWORD length, char* buffer);
    virtual BOOL GetVersionEx(OSVERSIONINFOA* info);
    // Called once a dialog has finished its initialisation and is on screen.
    virtual void DialogShown(CDialog& dialog);

    // Screen readers: see framework/accessibility.h.
    virtual void Annotate(HWND control, accessibility::Property property, const std::string& text);
    virtual void MarkLivePolite(HWND control);
    virtual void ClearAnnotations(HWND control);
    virtual void RaiseEvent(DWORD event, HWND control);

    // Calling the user back to a window: a sound, and the taskbar button
    // flashing until the window comes to the front.
    virtual BOOL MessageBeep(UINT type);
    virtual HWND GetForegroundWindow();
    virtual void FlashUntilFront(HWND window);
};

UiSeam& Ui();
// Installs `seam` (null restores the real system) and returns the previous one.
UiSeam* SetUiSeam(UiSeam* seam);
