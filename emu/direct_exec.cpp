// Natively there is no operating system between the program and the drive:
// fgExecuteCommand hands the command to the current rig's drive and applies
// the sense and data rules of the transport the caller chose, as the Windows
// paths would.
#include <algorithm>
#include <cstring>
#include <vector>

#include "device/drive_entry.h"
#include "emu/drive_rig.h"

namespace {

constexpr std::uint32_t kPassThroughSense = 24; // what the request record asks for
constexpr std::uint32_t kAspiSenseLength = 14;  // SENSE_LEN
constexpr std::size_t kAspiSenseArea = 16;

bool PassThrough(VirtualDrive& drive, std::uint8_t direction, std::uint32_t length,
                 std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                 std::uint8_t* sense)
{
    const bool out = direction & SRB_DIR_OUT;
    const bool in = !out && (direction & SRB_DIR_IN);
    std::vector<std::uint8_t> staging(length);
    if (out && length)
        std::memcpy(staging.data(), data, length);
    std::uint8_t senseBuffer[kSenseSize] = {};
    const TargetAnswer answer = drive.Execute(cdb, cdbLength, out, staging.data(), length,
                                              senseBuffer, kPassThroughSense);
    if (answer == TargetAnswer::TransportFailure)
        return false;
    if (answer != TargetAnswer::Good) {
        std::memcpy(sense, senseBuffer, kSenseSize);
        return false;
    }
    if (in && length)
        std::memcpy(data, staging.data(), length);
    return true;
}

bool Aspi(VirtualDrive& drive, std::uint8_t direction, std::uint32_t length,
          std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
          std::uint8_t* sense)
{
    // ASPI transfers straight into the caller's buffer.
    std::uint8_t senseArea[kAspiSenseArea] = {};
    const TargetAnswer answer = drive.Execute(cdb, cdbLength, direction & SRB_DIR_OUT, data,
                                              length, senseArea, kAspiSenseLength);
    if (answer == TargetAnswer::Good)
        return true;
    std::memcpy(sense, senseArea, kAspiSenseArea);
    return false;
}

} // namespace

bool fgExecuteCommand(const DriveEntry* /*drive*/, std::uint8_t direction,
                      std::uint32_t dataLength, std::uint8_t* data, std::uint8_t cdbLength,
                      const std::uint8_t* cdb, std::uint8_t transport, std::uint8_t* sense)
{
    std::memset(sense, 0, 16);
    VirtualDrive* target = CurrentRigDrive();
    if (!target)
        return false;
    return transport ? PassThrough(*target, direction, dataLength, data, cdbLength, cdb, sense)
                     : Aspi(*target, direction, dataLength, data, cdbLength, cdb, sense);
}
