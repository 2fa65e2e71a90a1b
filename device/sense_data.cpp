#include "device/sense_data.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_defs.h"

namespace scsi {

namespace {

constexpr std::uint8_t kFixedCurrent = 0x70;
constexpr std::uint8_t kFixedDeferred = 0x71;
constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;
constexpr std::uint8_t kValidBit = 0x80;
constexpr std::size_t kHeaderLength = 8; // up to and with the additional length

// Descriptor types whose content has a place in fixed format.
constexpr std::uint8_t kInformation = 0x00;
constexpr std::uint8_t kCommandSpecific = 0x01;
constexpr std::uint8_t kSenseKeySpecific = 0x02;
constexpr std::uint8_t kFieldReplaceableUnit = 0x03;
constexpr std::uint8_t kStreamCommands = 0x04;

// The bytes that count: what was sent, no further than the additional length
// says, no further than the area.
std::size_t CountedLength(const std::uint8_t* area, std::size_t length)
{
    length = std::min(length, kSenseAreaSize);
    if (length >= kHeaderLength)
        length = std::min(length, kHeaderLength + area[7]);
    return length;
}

// A 64-bit field of a descriptor that fits fixed format's 32 bits.
bool FitsFourBytes(const std::uint8_t* field) { return !field[0] && !field[1] && !field[2] && !field[3]; }

// Fixed format from descriptor format: key, codes and the descriptors fixed
// format has room for; the others have no place in it and are dropped.
void ToFixed(std::uint8_t* area, std::size_t counted, const DecodedSense& sense)
{
    std::uint8_t fixed[kSenseAreaSize] = {};
    fixed[0] = sense.deferred ? kFixedDeferred : kFixedCurrent;
    fixed[7] = kFixedSenseLength - kHeaderLength;
    fixed[12] = sense.asc;
    fixed[13] = sense.ascq;
    std::uint8_t flags = 0;
    for (std::size_t at = kHeaderLength; at + 2 <= counted;) {
        const std::uint8_t* d = area + at;
        const std::size_t size = 2u + d[1];
        if (at + size > counted)
            break;
        switch (d[0]) {
        case kInformation:
            if (size >= 12 && (d[2] & kValidBit) && FitsFourBytes(d + 4)) {
                fixed[0] |= kValidBit;
                std::memcpy(fixed + 3, d + 8, 4);
            }
            break;
        case kCommandSpecific:
            if (size >= 12 && FitsFourBytes(d + 4))
                std::memcpy(fixed + 8, d + 8, 4);
            break;
        case kSenseKeySpecific:
            if (size >= 7)
                std::memcpy(fixed + 15, d + 4, 3);
            break;
        case kFieldReplaceableUnit:
            if (size >= 4)
                fixed[14] = d[3];
            break;
        case kStreamCommands:
            if (size >= 4)
                flags = d[3] & kSenseFlagBits;
            break;
        default:
            break;
        }
        at += size;
    }
    fixed[2] = static_cast<std::uint8_t>(sense.key | flags);
    std::memcpy(area, fixed, kSenseAreaSize);
}

} // namespace

DecodedSense ReadFixedSense(const std::uint8_t* area, std::size_t length)
{
    DecodedSense sense;
    const std::size_t counted = CountedLength(area, length);
    const std::uint8_t code = counted ? area[0] & 0x7F : 0;
    if ((code != kFixedCurrent && code != kFixedDeferred) || counted < 3)
        return sense;
    sense.valid = true;
    sense.deferred = code == kFixedDeferred;
    sense.key = area[2] & kSenseKeyMask;
    sense.flags = area[2] & kSenseFlagBits;
    sense.asc = counted > 12 ? area[12] : 0;
    sense.ascq = counted > 13 ? area[13] : 0;
    sense.codes = counted > 13;
    return sense;
}

DecodedSense NormaliseSense(std::uint8_t* area, std::size_t length)
{
    const std::size_t counted = CountedLength(area, length);
    const std::uint8_t code = counted ? area[0] & 0x7F : 0;
    if (code == kFixedCurrent || code == kFixedDeferred) {
        const DecodedSense sense = ReadFixedSense(area, counted);
        if (sense.valid) {
            std::memset(area + counted, 0, kSenseAreaSize - counted);
            return sense;
        }
    } else if ((code == kDescriptorCurrent || code == kDescriptorDeferred) && counted >= 2) {
        DecodedSense sense;
        sense.valid = true;
        sense.deferred = code == kDescriptorDeferred;
        sense.key = area[1] & kSenseKeyMask;
        sense.asc = counted > 2 ? area[2] : 0;
        sense.ascq = counted > 3 ? area[3] : 0;
        sense.codes = counted > 3;
        ToFixed(area, counted, sense);
        sense.flags = area[2] & kSenseFlagBits;
        return sense;
    }
    std::memset(area, 0, kSenseAreaSize);
    return {};
}

} // namespace scsi
