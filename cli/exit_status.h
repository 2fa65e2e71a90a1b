// kavora-cli's exit statuses: the one table the help texts are made from and
// the manual page is checked against. 0 to 3 say what became of the drive;
// the two above them are sysexits.h's, for what went wrong around it.
#pragma once

#include <string>
#include <vector>

constexpr int kExitUpgraded = 0;
constexpr int kExitRefused = 1;      // nothing was written to the drive
constexpr int kExitNotSaved = 2;     // failed or stopped before the save: old firmware
constexpr int kExitStateUnknown = 3; // the drive may have taken the save and did not come back
constexpr int kExitUsage = 64;       // EX_USAGE: the command line is not one the help gives
constexpr int kExitOutput = 74;      // EX_IOERR: standard output could not be written

struct ExitStatusSpec {
    int code;
    const char* name;    // a few words: "refused"
    const char* meaning; // one paragraph, unwrapped
};

const std::vector<ExitStatusSpec>& ExitStatuses();
// The entry of `code`; the "state unknown" one for a code not in the table.
const ExitStatusSpec& ExitStatusOf(int code);

// The status a command ends with once its standard output failed: an output
// error in place of "done" or "refused", never in place of what is said of a
// drive that was written to (2, 3), nor of a usage error.
int WithOutputFailed(int status);
