// How wide the terminal on standard error is, from the system: each
// system's program links its own (cli/linux, cli/win).
#pragma once

// Standard error's width in columns now; 0: not known (not a terminal).
int TerminalColumns();
