// The one description of kavora-cli's commands and options: getopt_long's
// table, the option letters, the help texts, the check of which command
// takes which option, and the tests of the manual page and the completion
// all read it.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

// A set of commands, one bit each.
using CommandSet = unsigned;
constexpr CommandSet Bit(CliCommand command) { return 1u << static_cast<unsigned>(command); }

enum class OptionId { Drive, All, List, Yes, Verbose, Json, Help, Version };

struct OptionSpec {
    OptionId id;
    const char* name;     // the long name, without "--"
    char letter;          // the short one
    const char* argument; // "DEV", "FILE", or null: no value
    CommandSet takenBy;   // None: before any command
    CommandSet repeatedBy; // the commands that take it more than once
    const char* help;     // its help line (more lines begin with a newline)
};

const std::vector<OptionSpec>& Options();
const OptionSpec& Option(OptionId id);

struct CommandSpec {
    CliCommand command;
    const char* name;
    const char* operand; // "IMAGE", "[IMAGE]", "[COMMAND]" or ""
    const char* summary; // its line in the general help
    // What it does, said when it is given an option it takes no part of
    // ("info reaches no drive: it takes no --drive"); empty: just that.
    const char* refusing;
};

const std::vector<CommandSpec>& Commands();
// The command called `word`, or None.
CliCommand CommandNamed(const std::string& word);
const char* NameOf(CliCommand command);
// The entry of `command` (the first entry for None).
const CommandSpec& SpecOf(CliCommand command);

bool Takes(CliCommand command, const OptionSpec& option);
// "--drive", "-d"
std::string LongForm(const OptionSpec& option);
