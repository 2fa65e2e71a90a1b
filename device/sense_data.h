// A drive's sense data read as SCSI defines it, in one place for every
// transport: fixed (70h, 71h) and descriptor (72h, 73h) format, the response
// code checked, the additional length honoured, the sense key apart from the
// flag bits that share its byte.
//
// The program keeps sense in fixed format (the log lines print bytes 2, 12
// and 13), so each transport hands what the drive sent to NormaliseSense,
// which leaves fixed format in its place; every decision is then taken from
// what NormaliseSense answers, never from the raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/scsi_defs.h"

namespace scsi {

struct DecodedSense {
    bool valid = false;    // a response code of 70h to 73h with a sense key
    bool deferred = false; // 71h/73h: an earlier command's error; this one was not carried out
    std::uint8_t key = 0;  // 0 to 15, without the flag bits
    std::uint8_t asc = 0, ascq = 0;
    std::uint8_t flags = 0; // FILEMARK, EOM, ILI as fixed format's byte 2 holds them
    // The drive's sense reached its ASC and ASCQ: it said what happened, not
    // only a key. Zeros where a transport cannot tell how much was written
    // (ASPI) read as NO SENSE without them.
    bool codes = false;

    bool Is(std::uint8_t k, std::uint8_t c, std::uint8_t q) const
    {
        return valid && key == k && asc == c && ascq == q;
    }
};

// Reads the first `length` bytes at `area`, an area of kSenseAreaSize bytes
// (longer sense is cut there), and rewrites the area in fixed format: what
// the drive sent up to its additional length, zeros after it. Sense that no
// response code makes readable leaves the area all zero and is not valid.
DecodedSense NormaliseSense(std::uint8_t* area, std::size_t length);

// Reads sense that NormaliseSense has left, or that a drive sent in fixed
// format, without changing it.
DecodedSense ReadFixedSense(const std::uint8_t* area, std::size_t length);

} // namespace scsi
