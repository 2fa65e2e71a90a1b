#include "cli/verdict.h"

#include <cstdio>

#include "cli/json_text.h"

namespace {

// The advice for a drive whose state nobody knows.
constexpr char kStateUnknown[] =
    "Its state is unknown. Do not power it off or unplug it. Wait a few minutes, then run "
    "'kavora-cli list': a drive that answers with the new revision took the firmware; one that "
    "answers with the old revision can be upgraded again; one that does not answer needs a power "
    "cycle, then look again.";

// What the command whose failure ended the run was.
std::string FailedCommand(const RunOutcome& outcome)
{
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%X", static_cast<unsigned>(outcome.blockOffset));
    switch (outcome.failed) {
    case DriveCommand::Block:
        return std::string("the block at image offset ") + offset;
    case DriveCommand::Header:
        return "the header";
    case DriveCommand::Save:
        return "the save command";
    case DriveCommand::ReadyPoll:
        return "the last ready poll (TEST UNIT READY)";
    case DriveCommand::Inquiry:
        return "the last INQUIRY";
    case DriveCommand::None:
        break;
    }
    return "the run";
}

std::string Explanation(const RunOutcome& outcome)
{
    if (outcome.failed == DriveCommand::None)
        return "";
    return FailedCommand(outcome) + " failed: " + ExplainFailure(outcome.result, outcome.timeoutSeconds);
}

} // namespace

int Verdict(const RunOutcome& outcome, const Chosen& drive, DriveAccess& drives, Console& console)
{
    if (outcome.failed != DriveCommand::None)
        console.Note("kavora-cli: " + Explanation(outcome));
    if (outcome.end != RunEnd::Upgraded && outcome.end != RunEnd::Refused &&
        !drives.StillThere(drive.name))
        console.Note("kavora-cli: " + drive.name.path +
                     " is gone from the system: it was removed or unplugged during the run");
    switch (outcome.end) {
    case RunEnd::Upgraded:
        console.Note("kavora-cli: upgraded; the drive now reports " + Quoted(outcome.after.model) +
                     " revision " + outcome.after.revision);
        return kExitUpgraded;
    case RunEnd::Refused:
        console.Note("kavora-cli: nothing was sent to the drive");
        return kExitRefused;
    case RunEnd::Stopped:
        if (!outcome.sentAnything) {
            console.Note("kavora-cli: stopped; nothing was written to the drive");
            return kExitRefused;
        }
        console.Note("kavora-cli: stopped before the save command: the drive keeps its old firmware");
        return kExitNotSaved;
    case RunEnd::NotSaved:
        console.Note("kavora-cli: failed before the save command: the drive keeps its old firmware");
        return kExitNotSaved;
    case RunEnd::SaveUnanswered:
        console.Note(std::string("kavora-cli: the save command got no answer: the drive may have taken it. ") +
                     kStateUnknown);
        return kExitStateUnknown;
    case RunEnd::NeverReady:
        console.Note(std::string("kavora-cli: the drive accepted the save command and was programming its "
                                 "flash when the run failed. ") +
                     kStateUnknown);
        return kExitStateUnknown;
    case RunEnd::NeverIdentified:
        console.Note("kavora-cli: the drive accepted the save command and finished programming, but "
                     "never answered INQUIRY again: its state is unknown. Power-cycle the drive, then "
                     "run 'kavora-cli list' to see the revision it reports; upgrade it again if it "
                     "reports the old one.");
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
        {"revisionAfter", std::string(outcome.after.revision)},
        {"result", RunEndName(outcome.end)},
        {"exitStatus", status},
        {"failedCommand", outcome.failed == DriveCommand::None ? "" : DriveCommandName(outcome.failed)},
        {"explanation", Explanation(outcome)},
    };
    return JsonText(summary);
}
