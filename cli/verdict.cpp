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

// Why the run refused the drive, with nothing sent to it.
std::string RefusalWords(RefusalReason reason)
{
    switch (reason) {
    case RefusalReason::ImageUnreadable:
        return "the image could not be read";
    case RefusalReason::ImageFormat:
        return "the image is not a well-formed image";
    case RefusalReason::NoMemory:
        return "there was no memory for the image buffer";
    case RefusalReason::WrongImage:
        return "the image does not carry the drive's model with its revision";
    case RefusalReason::None:
        break;
    }
    return "a check failed before the first command";
}

std::string Explanation(const RunOutcome& outcome)
{
    if (outcome.end == RunEnd::Refused)
        return "refused before anything was sent: " + RefusalWords(outcome.refusal);
    if (outcome.failed == DriveCommand::None)
        return "";
    return CommandWords(outcome.failed, outcome.blockOffset) + " failed: " +
           ExplainFailure(outcome.result, outcome.timeoutSeconds);
}

} // namespace

int Verdict(const RunOutcome& outcome, const Chosen& drive, DriveAccess& drives, Console& console)
{
    if (outcome.failed != DriveCommand::None || outcome.end == RunEnd::Refused)
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

nlohmann::json SummaryJson(const RunOutcome& outcome, const Chosen& drive, int status)
{
    return {
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
}
