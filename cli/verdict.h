// What kavora-cli says of a run and the status it exits with, from the run's
// outcome alone.
#pragma once

#include "cli/drive_choice.h"
#include "flash/run_outcome.h"

// Said on `console`, the console of the drive's run.
int Verdict(const RunOutcome& outcome, const Chosen& drive, DriveAccess& drives, Console& console);

// --json's one-object summary of an upgrade.
std::string SummaryJson(const RunOutcome& outcome, const Chosen& drive, int status);
