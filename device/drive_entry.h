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

// Transfer direction bits shared by both transports.
constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;

constexpr int kSenseSize = 32;

// Sends one command block to one drive and waits for it. `transport` nonzero
// selects NT pass-through, zero ASPI. On failure the sense area holds the
// drive's sense data.
bool fgExecuteCommand(const DriveEntry* drive, std::uint8_t direction, std::uint32_t dataLength,
                      std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                      std::uint8_t transport, std::uint8_t* sense);
