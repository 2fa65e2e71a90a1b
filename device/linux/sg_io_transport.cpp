#include "device/linux/sg_io_transport.h"

#include <scsi/sg_lib.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned kDriverSense = 0x08; // sense data was written: not a failure
constexpr unsigned kDriverMask = 0x0F;

constexpr unsigned kHostNoConnect = 0x01; // DID_NO_CONNECT: no device there any more
constexpr unsigned kHostTimeOut = 0x03;   // DID_TIME_OUT
constexpr unsigned kDriverTimeOut = 0x06; // DRIVER_TIMEOUT

} // namespace

std::uint8_t SentCdbLength(const std::uint8_t* cdb, std::uint8_t length)
{
    if (length == 0 || !cdb)
        return 0;
    const int own = sg_get_command_size(cdb[0]);
    return own > 0 && own < length ? static_cast<std::uint8_t>(own) : length;
}

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
    const std::uint8_t cdbLength = SentCdbLength(
        command.cdb, command.cdbLength < sizeof cdb ? command.cdbLength : static_cast<std::uint8_t>(sizeof cdb));
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
        result.deviceGone = errno == ENODEV || errno == ENXIO;
        return result;
    }
    result.hostStatus = request.host_status;
    result.driverStatus = request.driver_status;
    // The adapter or the driver failed the command: whatever status stands
    // beside that is not the drive's answer.
    if (request.host_status != 0 || ((request.driver_status & kDriverMask) & ~kDriverSense) != 0) {
        result.outcome = scsi::Outcome::TransportFailure;
        result.timedOut = request.host_status == kHostTimeOut || (request.driver_status & kDriverMask) == kDriverTimeOut;
        result.deviceGone = request.host_status == kHostNoConnect;
        return result;
    }
    result.status = request.status & 0xFE;
    if (result.status == scsi::kStatusGood) {
        // No sense, whatever the buffer holds.
        std::memset(result.sense, 0, sizeof result.sense);
        result.outcome = scsi::Outcome::Good;
        return result;
    }
    result.decoded = scsi::NormaliseSense(result.sense, request.sb_len_wr);
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
