// The scale a window is shown at. Sizes in this program are written for 96
// DPI (100 %) and multiplied out for the window's DPI when fonts and pixel
// metrics are made. The functions that tell a window's own DPI came with
// Windows 10; they are looked up at run time, so the program still starts on
// systems without them (9x, NT 4), which have one DPI for the whole screen.
#pragma once

#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

namespace dpi {

constexpr UINT kBase = 96;

// The DPI of the screen as the whole process sees it.
UINT System();
// The DPI `window` is shown at: its monitor's where the system tells it,
// the screen's otherwise.
UINT OfWindow(HWND window);
// `value`, given at `from` DPI, at `to` DPI; rounded to the nearest pixel.
int Scale(int value, UINT to, UINT from = kBase);

// The standard GUI font's description with its height for `dpiTo`: the
// stock font is made for the system DPI only.
LOGFONTA GuiFont(UINT dpiTo);

// Tests choose the DPI each window reports; null restores the system's.
using WindowDpiSource = UINT (*)(HWND window);
WindowDpiSource SetWindowDpiSource(WindowDpiSource source);

} // namespace dpi
