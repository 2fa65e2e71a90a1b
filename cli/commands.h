// The commands of kavora-cli, over whatever drives they are given.
#pragma once

#include <istream>

#include "cli/console.h"
#include "cli/drive_access.h"
#include "cli/exit_status.h"
#include "cli/options.h"

struct CliContext {
    DriveAccess& drives;
    Console& console;
    std::istream& in;
    bool inputIsTerminal;
};

int RunList(const CliOptions& options, CliContext& context);
int RunInfo(const CliOptions& options, CliContext& context);
int RunCheck(const CliOptions& options, CliContext& context);
// One drive, or several at once (--all, several --drive).
int RunUpgrade(const CliOptions& options, CliContext& context);
// The one the options name.
int RunCommand(const CliOptions& options, CliContext& context);
