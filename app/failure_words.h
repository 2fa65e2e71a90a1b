// What a failed run means, in a sentence the dialog's log shows after the
// error line: the drive's own answer in the T10 wording, a request that never
// reached the drive, or the system's refusal, with what to do where that
// helps. "sum.txt" gets the same sentence.
#pragma once

#include <string>

#include "flash/run_outcome.h"

// `passThrough`: the request went by pass-through (NT family), else by ASPI.
std::string FailureWords(const RunOutcome& outcome, bool passThrough);
