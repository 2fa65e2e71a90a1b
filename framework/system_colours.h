// The system's colours and whether a high-contrast theme is on. Controls ask
// here rather than the system, so that tests (and the demo) can play a
// palette or a high-contrast user; the product uses the real system.
#pragma once

#include <windows.h>

#ifndef WM_THEMECHANGED
#define WM_THEMECHANGED 0x031A
#endif

class SystemColours {
public:
    virtual ~SystemColours() = default;
    // GetSysColor's answer for `index` (COLOR_BTNFACE and the like).
    virtual COLORREF Colour(int index);
    // True while the user has a high-contrast theme on.
    virtual bool HighContrast();
};

COLORREF SysColour(int index);
bool HighContrastOn();

// Installs `source` (null restores the real system) and returns the previous
// one (null when that was the real system).
SystemColours* SetSystemColours(SystemColours* source);

// True for the messages after which colours, theme or fonts may differ:
// WM_SYSCOLORCHANGE, WM_SETTINGCHANGE and WM_THEMECHANGED.
bool IsSystemChange(UINT msg);

// Only top-level windows hear of a colour or setting change; a dialog hands
// the message on to its controls with this.
void SendToChildren(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam);
