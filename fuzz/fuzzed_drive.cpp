#include "fuzz/fuzzed_drive.h"

#include <cstring>

#include "device/scsi_defs.h"

const std::uint8_t FuzzedDrive::kIdentity[36] = {
    0x05, 0x80, 0x02, 0x02, 0x1F, 0, 0, 0,
    'K', 'A', 'V', 'O', 'R', 'A', ' ', ' ',
    'C', 'D', '-', 'R', 'O', 'M', ' ', 'V', 'I', 'R', 'T', 'U', 'A', 'L', ' ', ' ',
    '1', '.', '0', '0'};

namespace {

struct Triple {
    std::uint8_t key, asc, ascq;
};

// The answers a drive that misbehaves is likeliest to give: each in fixed
// or descriptor format, current or deferred, with or without the flag bits
// (FILEMARK, EOM, ILI) beside its key.
constexpr Triple kLikelySense[] = {
    {0x02, 0x04, 0x07}, // not ready, operation in progress
    {0x06, 0x29, 0x00}, // unit attention, reset
    {0x06, 0x3F, 0x01}, // unit attention, microcode changed
    {0x02, 0x04, 0x01}, // not ready, becoming ready
    {0x02, 0x3A, 0x00}, // not ready, no medium
    {0x05, 0x24, 0x00}, // illegal request, invalid field in CDB
    {0x05, 0x26, 0x00}, // illegal request, invalid field in parameter list
    {0x03, 0x0C, 0x00}, // medium error, write error
    {0x04, 0x44, 0x00}, // hardware error, internal target failure
    {0x0B, 0x47, 0x00}, // aborted command, parity error
    {0x00, 0x00, 0x00}, // CHECK CONDITION with nothing to say
    {0x01, 0x17, 0x01}, // recovered error, with retries
    {0x00, 0x00, 0x02}, // no sense, end of medium
    {0x05, 0x20, 0x00}, // illegal request, invalid command operation code
    {0x07, 0x27, 0x00}, // data protect, write protected
};
constexpr std::uint8_t kFlags[] = {0x00, 0x20, 0x40, 0x80, 0xE0};

// Statuses other than GOOD and CHECK CONDITION.
constexpr std::uint8_t kOtherStatus[] = {0x08, 0x18, 0x28, 0x22, 0x40, 0x04, 0x10, 0x14};

void Sense(Answers& in, DriveAnswer& answer)
{
    const std::uint8_t form = in.Byte();
    if (form < 0xC0) {
        const Triple& t = kLikelySense[form % (sizeof kLikelySense / sizeof kLikelySense[0])];
        const std::uint8_t shape = in.Byte();
        const std::uint8_t flags = kFlags[shape % sizeof kFlags];
        const bool deferred = (shape & 0x80) && (shape & 0x40);
        if (shape & 0x08) {
            answer.sense[0] = deferred ? 0x73 : 0x72;
            answer.sense[1] = t.key;
            answer.sense[2] = t.asc;
            answer.sense[3] = t.ascq;
            answer.senseLength = 8;
            if (flags) {
                // A stream commands descriptor carries the flags.
                answer.sense[7] = 4;
                answer.sense[8] = 0x04;
                answer.sense[9] = 2;
                answer.sense[11] = flags;
                answer.senseLength = 12;
            }
            return;
        }
        answer.sense[0] = deferred ? 0x71 : 0x70;
        answer.sense[2] = static_cast<std::uint8_t>(t.key | flags);
        answer.sense[7] = 10;
        answer.sense[12] = t.asc;
        answer.sense[13] = t.ascq;
        answer.senseLength = 18;
        return;
    }
    // Any bytes at all, as many as the drive likes, descriptor format included.
    answer.senseLength = in.Byte() % (sizeof answer.sense + 1);
    in.Fill(answer.sense, answer.senseLength);
}

} // namespace

DriveAnswer FuzzedDrive::Answer(const std::uint8_t* cdb, bool dataIn, std::uint8_t* data,
                                std::uint32_t length)
{
    Answers& in = *answers_;
    DriveAnswer answer;
    switch (in.Byte()) {
    case 1:
        answer.kind = DriveAnswer::Kind::CheckCondition;
        answer.status = scsi::kStatusCheckCondition;
        Sense(in, answer);
        break;
    case 2:
        answer.kind = DriveAnswer::Kind::OtherStatus;
        answer.status = kOtherStatus[in.Byte() % sizeof kOtherStatus];
        break;
    case 3:
        answer.kind = DriveAnswer::Kind::TransportFailure;
        answer.code = in.Byte();
        break;
    case 4:
        answer.kind = DriveAnswer::Kind::SystemFailure;
        answer.code = in.Byte();
        break;
    default:
        break;
    }

    // What comes back, whatever the status says: the whole identity, nothing,
    // or some bytes of the input's own.
    if (dataIn && length) {
        const std::uint8_t form = in.Byte();
        if (form == 0 && cdb[0] == scsi::kOpInquiry) {
            std::memcpy(data, kIdentity, length < sizeof kIdentity ? length : sizeof kIdentity);
        } else if (form >= 2) {
            const std::uint32_t count = in.Byte();
            in.Fill(data, count < length ? count : length);
        }
    }
    if (observer_)
        observer_->Saw(cdb, data, length, answer);
    return answer;
}
