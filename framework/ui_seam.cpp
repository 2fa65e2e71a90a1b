#include "framework/ui_seam.h"

namespace {
UiSeam g_realUi;
UiSeam* g_ui = &g_realUi;
} // namespace

int UiSeam::MessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    return ::MessageBoxA(owner, text, caption, style);
}

DWORD UiSeam::GetCurrentDirectory(DWORD length, char* buffer)
{
    return ::GetCurrentDirectoryA(length, buffer);
}

BOOL UiSeam::GetVersionEx(OSVERSIONINFOA* info)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExA(info);
#pragma GCC diagnostic pop
}

void UiSeam::DialogShown(CDialog&) {}

void UiSeam::Annotate(HWND control, accessibility::Property property, const std::string& text)
{
    accessibility::Annotate(control, property, text);
}

void UiSeam::MarkLivePolite(HWND control) { accessibility::MarkLivePolite(control); }

void UiSeam::ClearAnnotations(HWND control) { accessibility::ClearAnnotations(control); }

void UiSeam::RaiseEvent(DWORD event, HWND control) { accessibility::RaiseEvent(event, control); }

BOOL UiSeam::MessageBeep(UINT type) { return ::MessageBeep(type); }

HWND UiSeam::GetForegroundWindow() { return ::GetForegroundWindow(); }

void UiSeam::FlashUntilFront(HWND window)
{
    using FlashWindowExFn = BOOL(WINAPI*)(PFLASHWINFO);
    // Windows 98 and 2000 brought the call that flashes until the window is
    // in front; before them one flash is all there is.
    static const auto flashEx = reinterpret_cast<FlashWindowExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "FlashWindowEx")));
    if (!flashEx) {
        ::FlashWindow(window, TRUE);
        return;
    }
    FLASHWINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    flashEx(&info);
}

UiSeam& Ui() { return *g_ui; }

UiSeam* SetUiSeam(UiSeam* seam)
{
    UiSeam* previous = g_ui;
    g_ui = seam ? seam : &g_realUi;
    return previous == &g_realUi ? nullptr : previous;
}
