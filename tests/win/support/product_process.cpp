#include "tests/win/support/product_process.h"

#include <cstdlib>
#include <vector>

namespace {

struct Search {
    DWORD process;
    const char* title;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    char title[128] = {};
    ::GetWindowTextA(hwnd, title, sizeof title);
    if (process == search->process && std::string(title) == search->title && ::IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::string ProductPath(const char* variable)
{
    const char* unixPath = std::getenv(variable);
    if (!unixPath)
        return {};
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

bool StartProduct(const std::string& exe, PROCESS_INFORMATION& process)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> command(exe.begin(), exe.end());
    command.push_back('\0');
    return ::CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process) != FALSE;
}

HWND WaitForWindow(DWORD process, const char* title, int limitMs)
{
    Search search{process, title, nullptr};
    for (int waited = 0; waited <= limitMs && !search.found; waited += 50) {
        ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            ::Sleep(50);
    }
    return search.found;
}

std::string ControlText(HWND dialog, int id)
{
    char text[4096] = {};
    ::SendMessageA(::GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}
