#include "cli/terminal.h"

#include <windows.h>

#include <cstdlib>

int TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0)
            return columns;
    }
    // Not a console (a pipe, a file, a terminal of another kind): the user's word.
    const char* columns = std::getenv("COLUMNS");
    const long value = columns ? std::strtol(columns, nullptr, 10) : 0;
    return value > 0 && value < 10000 ? static_cast<int>(value) : 0;
}
