#include "cli/verdict.h"

#include <cctype>
#include <cstdio>

#include "cli/json_text.h"
#include "flash/run_words.h"

namespace {

// What a user does next about a drive whose state nobody knows, with this
// program's own command.
constexpr char kLookAgain[] =
    " 'kavora-cli list' shows the revision it reports.";

std::string Explanation(const RunOutcome& outcome)
{
    if (outcome.failed == DriveCommand::None)
        return "";
    return CommandWords(outcome.failed, outcome.blockOffset) + " failed: " +
           ExplainFailure(outcome.result, outcome.timeoutSeconds);
}

} // namespace

int Verdict(const RunOutcome& outcome, const Chosen& drive, DriveAccess& drives, Console& console)
{
    if (outcome.failed != DriveCommand::None)
        console.Note("kavora-cli: " + Explanation(outcome));
    if (outcome.end != RunEnd::Upgraded && outcome.end != RunEnd::SameRevision &&
        outcome.end != RunEnd::Refused && !drives.StillThere(drive.name))
        console.Note("kavora-cli: " + drive.name.path +
                     " is gone from the system: it was removed or unplugged during the run");
    const DriveState state = StateOf(outcome);
    std::string words = StateWords(outcome);
    if (outcome.end == RunEnd::Refused)
        words = "Nothing was written to the drive: it still has its old firmware.";
    else if (outcome.end == RunEnd::Stopped)
        words = "Stopped before the save command. " + words;
    else if (state == DriveState::MayBeProgramming || state == DriveState::Unknown)
        words += kLookAgain;
    // A note goes on after "kavora-cli: " in lower case.
    words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    console.Note("kavora-cli: " + words);
    switch (state) {
    case DriveState::Upgraded:
    case DriveState::SameRevision:
        return kExitUpgraded;
    case DriveState::OldFirmware:
        return outcome.sentAnything ? kExitNotSaved : kExitRefused;
    case DriveState::MayBeProgramming:
    case DriveState::Unknown:
        return kExitStateUnknown;
    }
    return kExitStateUnknown;
}

std::string SummaryJson(const RunOutcome& outcome, const Chosen& drive, int status)
{
    nlohmann::json summary = {
        {"node", drive.name.path},
        {"model", drive.id.model},
        {"revisionBefore", drive.id.revision},
        {"modelAfter", std::string(outcome.after.model)},
        {"revisionAfter", std::string(outcome.after.revision)},
        {"result", RunEndName(outcome.end)},
        {"state", DriveStateName(StateOf(outcome))},
        {"exitStatus", status},
        {"failedCommand", outcome.failed == DriveCommand::None ? "" : DriveCommandName(outcome.failed)},
        {"explanation", Explanation(outcome)},
        {"stateWords", StateWords(outcome)},
    };
    return JsonText(summary);
}
