// The command line of kavora-cli, in the conventions of the Linux storage
// tools: getopt_long's long and short options anywhere, --opt=value, --.
#pragma once

#include <string>
#include <vector>

enum class CliCommand { None, List, Info, Check, Upgrade, Help, Version };

struct CliOptions {
    CliCommand command = CliCommand::None;
    CliCommand helpOn = CliCommand::None; // help: the command it is asked for
    std::string drive;                    // -d, --drive DEV: the first one given
    std::vector<std::string> drives;      // every -d given (upgrade takes several)
    bool all = false;                     // -a, --all: every drive the list and image fit
    std::string list = "IDString.txt";    // -l, --list FILE
    std::string image;                    // IMAGE; empty: the list's
    bool yes = false;                     // -y, --yes
    int verbose = 0;                      // -v, --verbose, once or twice
    bool json = false;                    // -j, --json
};

// False with `error` set (one line, no program name) for a command line that
// is not one of the forms the help gives; `options.json` then says whether
// it asked for JSON all the same, so that the error can be said in it.
bool ParseOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The help: the general text, or one command's.
std::string HelpText(CliCommand command = CliCommand::None);
// "kavora-cli 2.70 (revision ...)".
std::string VersionText();
