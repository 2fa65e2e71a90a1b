#include "cli/watched_transport.h"

scsi::Result WatchedTransport::Execute(const scsi::Command& command)
{
    const scsi::Result result = inner_.Execute(command);
    const bool save = command.cdbLength >= 2 && command.cdb[0] == scsi::kOpWriteBuffer &&
                      (command.cdb[1] & 0x1F) == scsi::kModeDownloadAndSave;
    if (command.cdbLength && command.cdb[0] == scsi::kOpWriteBuffer)
        ++writes_;
    if (save) {
        // A save whose answer never came may have been carried out.
        switch (result.outcome) {
        case scsi::Outcome::Good:
            save_ = Save::Accepted;
            break;
        case scsi::Outcome::CheckCondition:
        case scsi::Outcome::OtherStatus:
            if (save_ != Save::Accepted && save_ != Save::Unknown)
                save_ = Save::Refused;
            break;
        case scsi::Outcome::TransportFailure:
        case scsi::Outcome::SystemFailure:
            if (save_ != Save::Accepted)
                save_ = Save::Unknown;
            break;
        }
    }
    if (!result.Good()) {
        hasFailure_ = true;
        lastFailure_ = result;
    }
    return result;
}
