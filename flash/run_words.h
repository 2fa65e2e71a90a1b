// What became of the drive when a run ended, in the words both front ends
// use: the dialog after its closing line and in "sum.txt", kavora-cli in its
// verdict. A run that ends badly must tell its user what the drive holds now
// and what to do, and never more than the drive's answers prove.
#pragma once

#include <cstdint>
#include <string>

#include "flash/run_outcome.h"

enum class DriveState : std::uint8_t {
    Upgraded,         // it came back as its model with another revision
    SameRevision,     // it came back as its model with the revision it had
    OldFirmware,      // nothing was saved to it: it has the firmware it had
    MayBeProgramming, // the save may have been taken and the drive may still be writing its flash
    Unknown,          // nobody can tell what it holds
};

DriveState StateOf(const RunOutcome& outcome);

// A name for scripts: "upgraded", "same revision", "old firmware", "may be
// programming", "unknown".
const char* DriveStateName(DriveState state);

// One or two sentences for the user.
std::string StateWords(const RunOutcome& outcome);

// The diagnostics file could not be opened: which, why, and that the run
// goes on without it. A clause: each front end puts its "warning" before it.
std::string NoSumFileWords(const char* path, int error);
