// What kavora-cli says of a run and the status it exits with, from the run's
// outcome alone.
#pragma once

#include "cli/drive_choice.h"
#include "cli/json_text.h"
#include "flash/run_outcome.h"

// Said on `console`, the console of the drive's run.
int Verdict(const RunOutcome& outcome, const Chosen& drive, DriveAccess& drives, Console& console);

// --json's summary of one drive's upgrade: the document of a single one, an
// entry of a tower's.
nlohmann::json SummaryJson(const RunOutcome& outcome, const Chosen& drive, int status);
