// A drive reached through the bound ASPI for Win32 library (the 9x family):
// one SRB_ExecSCSICmd per command, waited for on an event.
#pragma once

#include <cstdint>

#include "device/drive_entry.h"
#include "device/scsi_transport.h"

class AspiTransport : public scsi::Transport {
public:
    AspiTransport(std::uint8_t haId, std::uint8_t targetId);
    explicit AspiTransport(const DriveEntry& drive);

    scsi::Result Execute(const scsi::Command& command) override;

private:
    std::uint8_t haId_, targetId_;
};
