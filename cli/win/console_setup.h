// What kavora-cli for Windows settles before its first word: streams that
// carry the same bytes as on Linux, and whether standard error is a console
// that draws the progress bars in place.
#pragma once

#include <string>

struct ConsoleFacts {
    bool inIsTerminal = false;
    bool errIsTerminal = false; // bars may be drawn there
    std::string term;           // $TERM, or "dumb" for a console that takes no sequences
};

// What the system says of the streams.
struct ConsoleState {
    bool inIsConsole = false;
    bool errIsConsole = false;
    bool errTakesSequences = false; // virtual-terminal processing is on, or was accepted
    bool errIsOtherTerminal = false; // a terminal that is not a console (mintty and the like)
    std::string term;                // $TERM
};

// The bars go to a console that takes virtual-terminal sequences, or to a
// terminal that draws them itself; a console of an older Windows gets
// plain lines, as TERM=dumb does.
ConsoleFacts FactsOf(const ConsoleState& state);

// Standard output and error in binary mode: "\n" ends a line in a pipe or a
// file, as on Linux, and a console shows it as a line end all the same. On
// a console, asks for virtual-terminal processing (Windows 10 and later).
ConsoleFacts SetUpConsole();
