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

ConsoleFacts FactsOf(const ConsoleState& state)
{
    ConsoleFacts facts;
    facts.inIsTerminal = state.inIsConsole;
    facts.term = state.term;
    if (state.errIsConsole) {
        facts.errIsTerminal = true;
        if (!state.errTakesSequences)
            facts.term = "dumb";
    } else {
        facts.errIsTerminal = state.errIsOtherTerminal;
    }
    return facts;
}

ConsoleFacts SetUpConsole()
{
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    ConsoleState state;
    const char* term = std::getenv("TERM");
    state.term = term ? term : "";
    DWORD mode = 0;
    state.inIsConsole = IsConsole(STD_INPUT_HANDLE, mode);
    if (IsConsole(STD_ERROR_HANDLE, mode)) {
        state.errIsConsole = true;
        state.errTakesSequences = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
                                  ::SetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE),
                                                   mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    } else {
        state.errIsOtherTerminal = _isatty(_fileno(stderr)) != 0;
    }
    return FactsOf(state);
}
