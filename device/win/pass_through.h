// A drive reached by IOCTL_SCSI_PASS_THROUGH_DIRECT on its drive letter's
// handle (the NT family). The request record is this architecture's.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device/drive_entry.h"
#include "device/scsi_transport.h"

class PassThroughTransport : public scsi::Transport {
public:
    // How much of the request the system is given as input: the published
    // record alone, or the whole request with its sense buffer.
    enum class Input { PassThroughPart, WholeRequest };

    PassThroughTransport(HANDLE device, std::uint8_t pathId, std::uint8_t targetId,
                         std::uint32_t alignMask, Input input = Input::PassThroughPart);
    explicit PassThroughTransport(const DriveEntry& drive);

    scsi::Result Execute(const scsi::Command& command) override;

private:
    HANDLE device_;
    std::uint8_t pathId_, targetId_;
    std::uint32_t alignMask_;
    Input input_;
};
