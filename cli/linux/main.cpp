// kavora-cli: the KAVORA firmware upgrade for Linux, over SG_IO.
#include <malloc.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/linux/linux_drives.h"
#include "cli/program.h"
#include "cli/terminal.h"

int main(int argc, char** argv)
{
    // A tower's runs spend minutes waiting on their drives. Huge pages would
    // let the kernel fold each run's few pages of stack and heap into 2 MiB
    // of memory as the minutes pass, and an arena per thread adds heaps the
    // runs have no use for: the program stays a few megabytes whatever the
    // number of drives.
    ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
    ::mallopt(M_ARENA_MAX, 1);
    // A reader that goes away (| head, a dropped ssh session's tee) must not
    // end a run that has saved and is waiting for the drive: a failed write
    // stops that stream, the run goes on, and the exit status still tells.
    ::signal(SIGPIPE, SIG_IGN);
    LinuxDrives drives;
    const char* term = std::getenv("TERM");
    SystemSide system{drives,
                      std::cin,
                      std::cout,
                      std::cerr,
                      ::isatty(STDIN_FILENO) == 1,
                      ::isatty(STDERR_FILENO) == 1,
                      term ? term : "",
                      TerminalColumns};
    return RunProgram(argc, argv, system);
}
