#include "flash/run_outcome.h"

const char* RunEndName(RunEnd end)
{
    switch (end) {
    case RunEnd::Refused: return "refused";
    case RunEnd::Stopped: return "stopped";
    case RunEnd::NotSaved: return "not saved";
    case RunEnd::SaveUnanswered: return "save unanswered";
    case RunEnd::SaveFailed: return "save failed";
    case RunEnd::NeverReady: return "never ready";
    case RunEnd::NeverIdentified: return "never identified";
    case RunEnd::OtherModel: return "another model";
    case RunEnd::SameRevision: return "same revision";
    case RunEnd::Upgraded: return "upgraded";
    }
    return "unknown";
}

const char* DriveCommandName(DriveCommand command)
{
    switch (command) {
    case DriveCommand::None: return "none";
    case DriveCommand::Block: return "block";
    case DriveCommand::Header: return "header";
    case DriveCommand::Save: return "save";
    case DriveCommand::ReadyPoll: return "ready poll";
    case DriveCommand::Inquiry: return "INQUIRY";
    }
    return "unknown";
}
