#include "cli/win/console_setup.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

bool IsConsole(DWORD which, DWORD& mode)
{
    HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

} // namespace

ConsoleFacts SetUpConsole()
{
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    ConsoleFacts facts;
    const char* term = std::getenv("TERM");
    facts.term = term ? term : "";
    DWORD mode = 0;
    facts.inIsTerminal = IsConsole(STD_INPUT_HANDLE, mode);
    if (IsConsole(STD_ERROR_HANDLE, mode)) {
        HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
        if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
            ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
            facts.errIsTerminal = true;
        } else {
            // A console of an older Windows: the sequences would show as text.
            facts.errIsTerminal = true;
            facts.term = "dumb";
        }
    } else if (_isatty(_fileno(stderr))) {
        // A terminal that is not a console (mintty and the like): it draws
        // the sequences itself.
        facts.errIsTerminal = true;
    }
    return facts;
}
