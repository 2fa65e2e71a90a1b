// kavora-cli's upgrade command against a fuzzed drive behind SG_IO: the
// drive's identity, the whole run and the explanations of its failures come
// from the input; the exit status must agree with what the drive saw.
#pragma once

#include "fuzz/answer_stream.h"
#include "fuzz/fuzzed_drive.h"

// Runs "kavora-cli upgrade --yes --drive /dev/sr0" in the working folder,
// which holds "IDString.txt" naming the image.
void FuzzCliUpgrade(Answers& answers, FuzzedDrive& drive);
