// kavora-cli: the KAVORA firmware upgrade for Linux, over SG_IO.
#include <unistd.h>

#include <iostream>

#include "cli/commands.h"
#include "cli/linux_drives.h"

int main(int argc, char** argv)
{
    CliOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::cerr << "kavora-cli: " << error << "\nTry 'kavora-cli --help' for more information.\n";
        return kExitRefused;
    }
    if (options.command == CliCommand::Help) {
        std::cout << HelpText(options.helpOn);
        return 0;
    }
    if (options.command == CliCommand::Version) {
        std::cout << VersionText();
        return 0;
    }
    LinuxDrives drives;
    Console console(std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    CliContext context{drives, console, std::cin, ::isatty(STDIN_FILENO) == 1};
    return RunCommand(options, context);
}
