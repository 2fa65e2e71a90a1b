// Which drives an upgrade of several takes, and which it names and leaves.
#pragma once

#include <string>
#include <vector>

#include "cli/drive_choice.h"

// A drive of an upgrade of several that is not upgraded: one the user named
// that is not there ("missing"), or one that got nothing but INQUIRY
// ("refused").
struct Unchosen {
    std::string node;
    std::string result; // "missing" or "refused"
    std::string reason;
    Identity id;        // what INQUIRY said, when it was asked
    // Whether the run's exit status is at least 1 for it: the user named it,
    // or it is of the listed model and the image is for it. A drive --all
    // comes across that is not for this upgrade changes nothing.
    bool counts = true;
};

// The drives of an upgrade of several (--all, or several --drive): each that
// the list names and the image is for, opened for the upgrade. Every other
// one is named with the reason, kept in `unchosen` and not touched. A drive
// named twice, by either of its nodes, is taken once. Answers an exit
// status, or -1 when `chosen` holds at least one drive.
int ChooseDrives(const CliOptions& options, const ModelList& list, LoadedImage& image, CliContext& context,
                 std::vector<Chosen>& chosen, std::vector<Unchosen>& unchosen);
