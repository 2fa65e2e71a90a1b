#include "device/linux/sg_io_transport.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned kDriverSense = 0x08; // sense data was written: not a failure
constexpr unsigned kDriverMask = 0x0F;

// Descriptor-format sense (response code 72h/73h) keeps key, ASC and ASCQ in
// bytes 1 to 3; the program reads fixed format (bytes 2, 12 and 13), so such
// sense is handed back rewritten in that form.
void ToFixedFormat(std::uint8_t* sense, std::size_t length)
{
    const std::uint8_t code = sense[0] & 0x7F;
    if ((code != 0x72 && code != 0x73) || length < 4)
        return;
    const std::uint8_t key = sense[1] & 0x0F, asc = sense[2], ascq = sense[3];
    std::memset(sense, 0, scsi::kSenseAreaSize);
    sense[0] = code == 0x72 ? 0x70 : 0x71;
    sense[2] = key;
    sense[7] = scsi::kFixedSenseLength - 8;
    sense[12] = asc;
    sense[13] = ascq;
}

} // namespace

int SgIo::Submit(int fd, sg_io_hdr_t& request) { return ::ioctl(fd, SG_IO, &request); }

SgIo& KernelSgIo()
{
    static SgIo kernel;
    return kernel;
}

SgIoTransport::SgIoTransport(int fd, SgIo& io) : fd_(fd), io_(io) {}

scsi::Result SgIoTransport::Execute(const scsi::Command& command)
{
    scsi::Result result;
    std::uint8_t cdb[scsi::kMaxCdbLength] = {};
    const std::uint8_t cdbLength =
        command.cdbLength < sizeof cdb ? command.cdbLength : static_cast<std::uint8_t>(sizeof cdb);
    std::memcpy(cdb, command.cdb, cdbLength);

    sg_io_hdr_t request;
    std::memset(&request, 0, sizeof request);
    request.interface_id = 'S';
    request.cmd_len = cdbLength;
    request.cmdp = cdb;
    request.mx_sb_len = sizeof result.sense;
    request.sbp = result.sense;
    request.dxfer_len = command.dataLength;
    request.dxferp = command.dataLength ? command.data : nullptr;
    if (command.dataLength == 0 || command.direction == scsi::Direction::None)
        request.dxfer_direction = SG_DXFER_NONE;
    else if (command.direction == scsi::Direction::Out)
        request.dxfer_direction = SG_DXFER_TO_DEV;
    else
        request.dxfer_direction = SG_DXFER_FROM_DEV;
    request.timeout = command.timeoutSeconds * 1000u;

    if (io_.Submit(fd_, request) != 0) {
        result.systemError = static_cast<std::uint32_t>(errno);
        return result;
    }
    result.hostStatus = request.host_status;
    result.driverStatus = request.driver_status;
    // The adapter or the driver failed the command: whatever status stands
    // beside that is not the drive's answer.
    if (request.host_status != 0 || ((request.driver_status & kDriverMask) & ~kDriverSense) != 0) {
        result.outcome = scsi::Outcome::TransportFailure;
        return result;
    }
    result.status = request.status & 0xFE;
    if (result.status == scsi::kStatusGood) {
        // No sense, whatever the buffer holds.
        std::memset(result.sense, 0, sizeof result.sense);
        result.outcome = scsi::Outcome::Good;
        return result;
    }
    const std::size_t written = request.sb_len_wr < sizeof result.sense ? request.sb_len_wr : sizeof result.sense;
    std::memset(result.sense + written, 0, sizeof result.sense - written);
    ToFixedFormat(result.sense, written);
    result.senseLength = sizeof result.sense;
    result.outcome = result.status == scsi::kStatusCheckCondition ? scsi::Outcome::CheckCondition
                                                                   : scsi::Outcome::OtherStatus;
    return result;
}

const char* HostStatusName(unsigned status)
{
    static const char* const kNames[] = {
        "DID_OK",         "DID_NO_CONNECT", "DID_BUS_BUSY",    "DID_TIME_OUT",
        "DID_BAD_TARGET", "DID_ABORT",      "DID_PARITY",      "DID_ERROR",
        "DID_RESET",      "DID_BAD_INTR",   "DID_PASSTHROUGH", "DID_SOFT_ERROR",
        "DID_IMM_RETRY",  "DID_REQUEUE",    "DID_TRANSPORT_DISRUPTED", "DID_TRANSPORT_FAILFAST",
    };
    return status < sizeof kNames / sizeof kNames[0] ? kNames[status] : "unknown";
}

const char* DriverStatusName(unsigned status)
{
    static const char* const kNames[] = {
        "DRIVER_OK",    "DRIVER_BUSY",    "DRIVER_SOFT",  "DRIVER_MEDIA",
        "DRIVER_ERROR", "DRIVER_INVALID", "DRIVER_TIMEOUT", "DRIVER_HARD",
        "DRIVER_SENSE",
    };
    status &= kDriverMask;
    return status < sizeof kNames / sizeof kNames[0] ? kNames[status] : "unknown";
}
