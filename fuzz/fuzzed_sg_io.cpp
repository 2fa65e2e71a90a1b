#include "fuzz/fuzzed_sg_io.h"

#include <cerrno>
#include <cstring>

#include "device/scsi_defs.h"
#include "fuzz/require.h"

namespace {

constexpr int kErrors[] = {ENODEV, EIO, EPERM, ENOMEM, EINVAL, EBUSY, ENXIO};
constexpr unsigned kDriverSense = 0x08;

} // namespace

int FuzzedSgIo::Submit(int, sg_io_hdr_t& request)
{
    // What the kernel checks before the command goes anywhere.
    Require(request.interface_id == 'S', "an SG_IO request without its interface id");
    Require(request.cmdp && request.cmd_len >= 6 && request.cmd_len <= 16, "a command block out of range");
    Require(request.dxfer_len == 0 || request.dxferp, "data without a buffer");
    Require(request.mx_sb_len == 0 || request.sbp, "sense asked for without a buffer");
    Require(request.dxfer_direction == SG_DXFER_NONE || request.dxfer_direction == SG_DXFER_TO_DEV ||
                request.dxfer_direction == SG_DXFER_FROM_DEV,
            "a transfer direction the program never uses");

    const bool dataIn = request.dxfer_direction == SG_DXFER_FROM_DEV;
    const DriveAnswer answer =
        drive_.Answer(request.cmdp, dataIn, static_cast<std::uint8_t*>(request.dxferp), request.dxfer_len);
    request.status = 0;
    request.masked_status = 0;
    request.host_status = 0;
    request.driver_status = 0;
    request.sb_len_wr = 0;
    request.resid = static_cast<int>(answers_.Word());
    switch (answer.kind) {
    case DriveAnswer::Kind::Good:
        break;
    case DriveAnswer::Kind::CheckCondition: {
        request.status = answer.status;
        request.masked_status = answer.status >> 1;
        request.driver_status = kDriverSense;
        const unsigned length = answer.senseLength < request.mx_sb_len ? answer.senseLength : request.mx_sb_len;
        std::memcpy(request.sbp, answer.sense, length);
        // The count the kernel gives is what it wrote; where the drive's
        // sense filled the buffer, sometimes a count beyond the buffer's end,
        // which the program must not read past. (A count of bytes nobody
        // wrote would make the program judge a cleared buffer as sense.)
        const unsigned more = length < request.mx_sb_len || answers_.Byte() == 0 ? 0 : answers_.Byte();
        request.sb_len_wr = static_cast<unsigned char>(length + more > 255 ? 255 : length + more);
        break;
    }
    case DriveAnswer::Kind::OtherStatus:
        request.status = answer.status;
        request.masked_status = answer.status >> 1;
        break;
    case DriveAnswer::Kind::TransportFailure:
        // A host status, or a driver status that is more than "sense written".
        if (answer.code & 0x80)
            request.driver_status = static_cast<unsigned short>((answer.code % 7 + 1) | (answer.code & kDriverSense));
        else
            request.host_status = static_cast<unsigned short>(answer.code % 15 + 1);
        break;
    case DriveAnswer::Kind::SystemFailure:
        errno = kErrors[answer.code % (sizeof kErrors / sizeof kErrors[0])];
        return -1;
    }
    return 0;
}
