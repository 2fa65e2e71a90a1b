// The transport a Windows program uses for a drive of its table: the
// system family decides, as it decided how the drive was found.
#pragma once

#include <memory>

#include "device/drive_entry.h"
#include "device/scsi_transport.h"

// NT family: pass-through on the drive's handle; 9x family: ASPI.
std::unique_ptr<scsi::Transport> DriveTransport(const DriveEntry& drive, bool isNT);
