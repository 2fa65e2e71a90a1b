// One discovered drive and the limits of the drive table.
#pragma once

#include <cstdint>

#include "device/win_types.h"

struct DriveEntry {
    HANDLE hDevice;              // drive letter's handle (NT family); zero on ASPI
    std::uint8_t byHaId;         // ASPI adapter or SCSI path id
    std::uint8_t byTargetId;
    std::uint32_t dwMaxTransfer; // as reported; informational only
    std::uint32_t dwAlignMask;   // pass-through buffer alignment mask
    char sModel[32];             // 24 characters of INQUIRY bytes 8..31, then "(n)"
    char sRevision[12];          // 4 characters of INQUIRY bytes 32..35
};

constexpr int kMaxDrives = 8;
constexpr int kModelChars = 24;
