// The facts of the drive's command set and download buffer that both sides
// of the conversation rely on: the program that sends the commands and the
// virtual drive that answers them. One home for each.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scsi {

// --- operation codes and WRITE BUFFER modes -------------------------------

constexpr std::uint8_t kOpTestUnitReady = 0x00;
constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpWriteBuffer = 0x3B;

constexpr std::uint8_t kModeDownloadWithOffsets = 0x06; // download microcode with offsets
constexpr std::uint8_t kModeDownloadAndSave = 0x07;     // ... with offsets, and save

// Every command block the program sends is this long; the bytes behind a
// command's own length are zero.
constexpr std::uint8_t kCdbLength = 12;
constexpr std::size_t kMaxCdbLength = 16;

// Standard INQUIRY data as the program asks for it.
constexpr std::uint32_t kInquiryLength = 36;
constexpr std::size_t kVendorProductAt = 8; // 8 + 16 characters
constexpr std::size_t kRevisionAt = 32;     // 4 characters
// The model text, vendor and product as INQUIRY reports them, and the
// firmware revision after it: how long each is wherever the program keeps,
// compares or prints one.
constexpr std::size_t kModelChars = 24;
constexpr std::size_t kRevisionChars = 4;
static_assert(kVendorProductAt + kModelChars == kRevisionAt);
static_assert(kRevisionAt + kRevisionChars == kInquiryLength);
constexpr std::uint8_t kConnectedCdRom = 0x05; // qualifier 0, device type 5

// The time-out a command goes with unless its sender gives one that fits it:
// the Windows program's, for every command it sends through the port.
constexpr std::uint32_t kLongestTimeoutSeconds = 65535;

// --- SCSI status ----------------------------------------------------------

constexpr std::uint8_t kStatusGood = 0x00;
constexpr std::uint8_t kStatusCheckCondition = 0x02;
// Statuses with which a drive declines a command without starting it.
constexpr std::uint8_t kStatusBusy = 0x08;
constexpr std::uint8_t kStatusReservationConflict = 0x18;
constexpr std::uint8_t kStatusTaskSetFull = 0x28;
constexpr std::uint8_t kStatusAcaActive = 0x30;

// --- sense data -----------------------------------------------------------

// The caller's sense area: every command gets one of this size.
constexpr std::size_t kSenseAreaSize = 32;
// What a command clears of it before it is sent.
constexpr std::size_t kSenseCleared = 16;
// What the pass-through request asks the port for.
constexpr std::uint8_t kPassThroughSenseLength = 24;
// ASPI's SENSE_LEN, and the record's sense area that holds it plus two.
constexpr std::uint8_t kAspiSenseLength = 14;
constexpr std::size_t kAspiSenseArea = kAspiSenseLength + 2;
// Fixed-format sense data as a drive builds it.
constexpr std::size_t kFixedSenseLength = 18;

// Sense key, additional sense code and its qualifier: bytes 2, 12 and 13 of
// fixed-format sense data, and what the program prints as "%2X/%2X/%2X".
struct SenseTriple {
    std::uint8_t key = 0, asc = 0, ascq = 0;
    bool operator==(const SenseTriple&) const = default;

    static SenseTriple Of(const std::uint8_t* sense) { return {sense[2], sense[12], sense[13]}; }
};

constexpr SenseTriple kOperationInProgress{0x02, 0x04, 0x07};

// Sense keys: the low four bits of byte 2; FILEMARK, EOM and ILI share the
// byte with them.
constexpr std::uint8_t kSenseKeyNoSense = 0x00;
constexpr std::uint8_t kSenseKeyRecoveredError = 0x01;
constexpr std::uint8_t kSenseKeyNotReady = 0x02;
constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr std::uint8_t kSenseKeyUnitAttention = 0x06;
constexpr std::uint8_t kSenseKeyDataProtect = 0x07;
constexpr std::uint8_t kSenseKeyMask = 0x0F;
constexpr std::uint8_t kSenseFlagBits = 0xE0;

// --- the drive's download buffer ------------------------------------------

// Image block k goes to buffer offset kImageBufferOffset + kBlockSize * k;
// the header, which carries the 16-bit sum of the image bytes sent, goes to
// offset 0 and holds that sum in its last two bytes, most significant first.
constexpr std::uint32_t kBlockSize = 4096;
constexpr std::uint32_t kHeaderOffset = 0;
constexpr std::uint32_t kHeaderSize = 32;
constexpr std::size_t kHeaderSumAt = 30;
constexpr std::uint32_t kImageBufferOffset = 0x20;

constexpr std::uint32_t BlockOffset(std::uint32_t index)
{
    return kImageBufferOffset + kBlockSize * index;
}

} // namespace scsi
