#include "framework/dpi.h"

namespace dpi {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

UINT SystemsWindowDpi(HWND window)
{
    // Asked once: the answer does not change while the process lives.
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (UINT value = getDpiForWindow(window))
            return value;
    }
    return System();
}

WindowDpiSource g_source = nullptr;

} // namespace

UINT System()
{
    HDC screen = ::GetDC(nullptr);
    int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return value > 0 ? static_cast<UINT>(value) : kBase;
}

UINT OfWindow(HWND window) { return g_source ? g_source(window) : SystemsWindowDpi(window); }

int Scale(int value, UINT to, UINT from)
{
    if (to == from || from == 0)
        return value;
    return ::MulDiv(value, static_cast<int>(to), static_cast<int>(from));
}

LOGFONTA GuiFont(UINT dpiTo)
{
    LOGFONTA font{};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    font.lfHeight = Scale(font.lfHeight, dpiTo, System());
    font.lfWidth = Scale(font.lfWidth, dpiTo, System());
    return font;
}

WindowDpiSource SetWindowDpiSource(WindowDpiSource source)
{
    WindowDpiSource previous = g_source;
    g_source = source;
    return previous;
}

} // namespace dpi
