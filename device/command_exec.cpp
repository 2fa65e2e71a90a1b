// The drive commands' one way to a drive, whatever transport stands behind it.
#include <algorithm>
#include <cstring>

#include "device/scsi_transport.h"

bool scsi::Result::NotCarriedOut() const
{
    if (outcome == Outcome::OtherStatus)
        return status == kStatusBusy || status == kStatusReservationConflict || status == kStatusTaskSetFull ||
               status == kStatusAcaActive;
    if (outcome != Outcome::CheckCondition || !decoded.valid)
        return false;
    switch (CurrentKey()) {
    case -1: // an earlier command's deferred error
    case kSenseKeyNotReady:
    case kSenseKeyIllegalRequest:
    case kSenseKeyUnitAttention:
    case kSenseKeyDataProtect:
        return true;
    default:
        return false;
    }
}

bool fgExecuteCommand(scsi::Transport& transport, scsi::Direction direction,
                      std::uint32_t dataLength, std::uint8_t* data, std::uint8_t cdbLength,
                      const std::uint8_t* cdb, std::uint8_t* sense, std::uint32_t timeoutSeconds,
                      scsi::Result* answer)
{
    std::memset(sense, 0, scsi::kSenseCleared);
    scsi::Command command;
    command.cdb = cdb;
    command.cdbLength = cdbLength;
    command.direction = direction;
    command.data = data;
    command.dataLength = dataLength;
    command.timeoutSeconds = timeoutSeconds;
    const scsi::Result result = transport.Execute(command);
    if (answer)
        *answer = result;
    if (result.Good())
        return true;
    // A request that never reached the drive hands back no sense: callers see
    // a failed command whose cleared sense reads as no sense at all.
    std::memcpy(sense, result.sense,
                std::min<std::size_t>(result.senseLength, scsi::kSenseAreaSize));
    return false;
}
