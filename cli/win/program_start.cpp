#include "cli/win/program_start.h"

#include <windows.h>

#include <iostream>

#include "cli/exit_status.h"
#include "cli/program.h"
#include "cli/terminal.h"
#include "cli/win/console_setup.h"
#include "cli/win/windows_drives.h"
#include "device/win/keep_awake.h"

int RunOnWindows(int argc, char** argv)
{
    const ConsoleFacts console = SetUpConsole();
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ::GetVersionExA(&version);
    if (const std::string why = WhyNotOnThisSystem(version.dwPlatformId); !why.empty()) {
        std::cerr << "kavora-cli: " << why << "\n";
        return kExitRefused;
    }
    WindowsDrives drives(version.dwMajorVersion <= 4);
    // The whole program, the waits while a drive programs included: a
    // system that sleeps in a run leaves the drive half flashed.
    SystemKeptAwake awake;
    SystemSide system{drives,
                      std::cin,
                      std::cout,
                      std::cerr,
                      console.inIsTerminal,
                      console.errIsTerminal,
                      console.term,
                      TerminalColumns};
    return RunProgram(argc, argv, system);
}
