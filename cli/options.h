// The command line of kavora-cli.
#pragma once

#include <string>

enum class CliCommand { None, List, Check, Upgrade, Help };

struct CliOptions {
    CliCommand command = CliCommand::None;
    std::string drive;                 // --drive DEV
    std::string list = "IDString.txt"; // --list FILE
    std::string image;                 // IMAGE; empty: the list's
    bool yes = false;                  // --yes
};

// False with `error` set for a command line that is not one of the forms the
// help text gives.
bool ParseOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The text of --help.
const char* HelpText();

// Exit statuses.
constexpr int kExitUpgraded = 0;
constexpr int kExitRefused = 1;     // nothing was written to the drive
constexpr int kExitNotSaved = 2;    // failed or stopped before the save: old firmware
constexpr int kExitStateUnknown = 3; // failed after the save was accepted
