// One discovered drive and the limits of the drive table.
#pragma once

#include <cstdint>

#include "device/scsi_defs.h"
#include "device/win_types.h"

// Where a drive sits on the machine: what tells it apart from every other
// drive, whichever way it was found and through whichever letter. Commands
// are not addressed with it.
struct DriveAddress {
    std::uint8_t byPort;   // SCSI port number; the ASPI adapter on 9x
    std::uint8_t byPath;   // bus
    std::uint8_t byTarget;
    std::uint8_t byLun;
    bool bKnown;           // false: the system did not tell; the letter stands in
};

struct DriveEntry {
    HANDLE hDevice;              // drive letter's handle (NT family); zero on ASPI
    std::uint8_t byHaId;         // ASPI adapter or SCSI path id
    std::uint8_t byTargetId;
    std::uint32_t dwMaxTransfer; // as reported; informational only
    std::uint32_t dwAlignMask;   // pass-through buffer alignment mask
    char sModel[32];             // 24 characters of INQUIRY bytes 8..31, then "(n)"
    char sRevision[12];          // 4 characters of INQUIRY bytes 32..35
    DriveAddress address;
    char cLetter;                // letter it was found through, lower case; 0 on ASPI
};

constexpr int kMaxDrives = 8;
