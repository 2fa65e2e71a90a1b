// kavora-cli from its command line to its exit status, over what the system
// gives it: the program but for its system's few lines of main().
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "cli/drive_access.h"
#include "cli/screen.h"

struct SystemSide {
    DriveAccess& drives;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inIsTerminal = false;
    bool errIsTerminal = false;
    std::string term; // $TERM
    Columns columns;  // standard error's width now (TerminalColumns)
};

// Below this width a progress bar says too little: plain lines instead.
constexpr int kNarrowestBarColumns = 40;

// Whether standard error gets progress bars redrawn in place: a terminal
// that can draw them (not TERM=dumb) and has room for one.
bool DrawsBars(bool errIsTerminal, const std::string& term, int columns);

int RunProgram(int argc, const char* const* argv, SystemSide& system);
