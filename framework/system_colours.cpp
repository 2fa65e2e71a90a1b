#include "framework/system_colours.h"

namespace {
SystemColours g_real;
SystemColours* g_source = &g_real;
} // namespace

COLORREF SystemColours::Colour(int index) { return ::GetSysColor(index); }

bool SystemColours::HighContrast()
{
    HIGHCONTRASTA info{};
    info.cbSize = sizeof(info);
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(info), &info, 0)
        && (info.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF SysColour(int index) { return g_source->Colour(index); }

bool HighContrastOn() { return g_source->HighContrast(); }

SystemColours* SetSystemColours(SystemColours* source)
{
    SystemColours* previous = g_source;
    g_source = source ? source : &g_real;
    return previous == &g_real ? nullptr : previous;
}

bool IsSystemChange(UINT msg)
{
    return msg == WM_SYSCOLORCHANGE || msg == WM_SETTINGCHANGE || msg == WM_THEMECHANGED;
}

void SendToChildren(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam)
{
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageA(child, msg, wParam, lParam);
}
