#include "emu/virtual_drive_transport.h"

#include <cstring>
#include <vector>

VirtualDriveTransport::VirtualDriveTransport(VirtualDrive& drive, Rules rules)
    : drive_(drive), rules_(rules)
{
}

scsi::Result VirtualDriveTransport::Execute(const scsi::Command& command)
{
    const bool passThrough = rules_ == Rules::PassThrough;
    const bool out = command.direction == scsi::Direction::Out;
    const bool in = command.direction == scsi::Direction::In;

    // Pass-through stages the data; ASPI hands the drive the caller's buffer.
    std::vector<std::uint8_t> staging;
    std::uint8_t* data = command.data;
    if (passThrough) {
        staging.assign(command.data, command.data + (command.data ? command.dataLength : 0));
        staging.resize(command.dataLength);
        data = staging.data();
    }
    scsi::Result result;
    const std::uint32_t asked = passThrough ? scsi::kPassThroughSenseLength : scsi::kAspiSenseLength;
    const TargetAnswer answer =
        drive_.Execute(command.cdb, command.cdbLength, out, data, command.dataLength, result.sense, asked);

    switch (answer) {
    case TargetAnswer::Good:
        if (passThrough && in && command.dataLength)
            std::memcpy(command.data, staging.data(), command.dataLength);
        result.outcome = scsi::Outcome::Good;
        break;
    case TargetAnswer::CheckCondition:
        result.outcome = scsi::Outcome::CheckCondition;
        result.status = scsi::kStatusCheckCondition;
        result.senseLength = passThrough ? scsi::kSenseAreaSize : scsi::kAspiSenseArea;
        result.decoded = scsi::NormaliseSense(result.sense, asked);
        break;
    case TargetAnswer::TransportFailure:
        result.outcome = scsi::Outcome::TransportFailure;
        break;
    }
    return result;
}
