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

UiSeam& Ui() { return *g_ui; }

UiSeam* SetUiSeam(UiSeam* seam)
{
    UiSeam* previous = g_ui;
    g_ui = seam ? seam : &g_realUi;
    return previous == &g_realUi ? nullptr : previous;
}
