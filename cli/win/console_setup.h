// What kavora-cli for Windows settles before its first word: streams that
// carry the same bytes as on Linux, and whether standard error is a console
// that draws the progress bars in place.
#pragma once

#include <string>

struct ConsoleFacts {
    bool inIsTerminal = false;
    bool errIsTerminal = false; // a console that takes virtual-terminal sequences
    std::string term;           // $TERM, or "dumb" for a console that takes none
};

// Standard output and error in binary mode: "\n" ends a line in a pipe or a
// file, as on Linux, and a console shows it as a line end all the same. On
// a console, asks for virtual-terminal processing (Windows 10 and later);
// a console that refuses it gets plain lines.
ConsoleFacts SetUpConsole();
