#include "flash/run_words.h"

#include <cstring>

namespace {

std::string Shown(const char* text)
{
    std::string shown = text;
    while (!shown.empty() && shown.back() == ' ')
        shown.pop_back();
    return shown.empty() ? "(none)" : shown;
}

constexpr char kWaitThenRestart[] =
    " Do not power it off or restart the computer now; wait five minutes, then restart the computer and "
    "check the revision the drive reports.";
constexpr char kUnknown[] =
    " Its state is unknown: shut the computer down and start it again (a power cycle of the drive), then "
    "check the model and revision the drive reports; if it reports the old revision, run the upgrade again.";

} // namespace

DriveState StateOf(const RunOutcome& outcome)
{
    switch (outcome.end) {
    case RunEnd::Refused:
    case RunEnd::Stopped:
    case RunEnd::NotSaved:
        return DriveState::OldFirmware;
    case RunEnd::SaveUnanswered:
    case RunEnd::NeverReady:
        return DriveState::MayBeProgramming;
    case RunEnd::SaveFailed:
    case RunEnd::NeverIdentified:
    case RunEnd::OtherModel:
        return DriveState::Unknown;
    case RunEnd::SameRevision:
        return DriveState::SameRevision;
    case RunEnd::Upgraded:
        return DriveState::Upgraded;
    }
    return DriveState::Unknown;
}

const char* DriveStateName(DriveState state)
{
    switch (state) {
    case DriveState::Upgraded: return "upgraded";
    case DriveState::SameRevision: return "same revision";
    case DriveState::OldFirmware: return "old firmware";
    case DriveState::MayBeProgramming: return "may be programming";
    case DriveState::Unknown: return "unknown";
    }
    return "unknown";
}

std::string StateWords(const RunOutcome& outcome)
{
    const std::string before = Shown(outcome.before.revision), after = Shown(outcome.after.revision);
    switch (StateOf(outcome)) {
    case DriveState::Upgraded:
        return "Upgraded: the drive now reports revision " + after + "; it reported " + before + " before.";
    case DriveState::SameRevision:
        return "The drive took the image but still reports revision " + after +
               ", as before: the image may carry the same version, or the drive shows its new revision "
               "only after a power cycle.";
    case DriveState::OldFirmware:
        return "Nothing was saved to the drive: it still has its old firmware.";
    case DriveState::MayBeProgramming:
        if (outcome.end == RunEnd::SaveUnanswered)
            return std::string("The save command got no answer: the drive may have taken it and be programming "
                               "its flash.") +
                   kWaitThenRestart;
        return std::string("The drive had not said it was ready when the program stopped waiting: it may still be programming "
                           "its flash.") +
               kWaitThenRestart;
    case DriveState::Unknown:
        if (outcome.end == RunEnd::OtherModel)
            return "The drive now answers as another model, \"" + std::string(outcome.after.model) + "\" revision " +
                   after + "." + kUnknown;
        if (outcome.end == RunEnd::SaveFailed)
            return std::string("The drive answered the save command with an error: it may have begun to program "
                               "its flash.") +
                   kUnknown;
        return std::string("The drive stopped reporting that it was programming but did not answer INQUIRY again.") + kUnknown;
    }
    return kUnknown + 1;
}

std::string NoSumFileWords(const char* path, int error)
{
    return std::string("cannot open the diagnostics file ") + path + " (" + std::strerror(error) +
           "); the upgrade goes on without it";
}
