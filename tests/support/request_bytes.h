// The request records as bytes, built from their field values for the layout
// of either architecture, so that a test compares what the machine received
// with an independent picture of the record, byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Where each field stands; written out from the published layouts rather
// than taken from the program's own declarations.
struct RecordLayout {
    const char* arch;
    std::size_t pointerSize;
    // SCSI_PASS_THROUGH_DIRECT and the program's request around it
    std::size_t sptdSize, dataBufferAt, senseInfoOffsetAt, cdbAt;
    std::size_t requestSize, senseBufAt;
    // SRB_ExecSCSICmd
    std::size_t srbSize, bufPointerAt, senseLenAt, postProcAt, cdbByteAt, senseAreaAt;
};

inline constexpr RecordLayout kRecordLayouts[] = {
    {"x86", 4, 44, 20, 24, 28, 80, 48, 80, 0x10, 0x14, 0x18, 0x30, 0x40},
    {"x64", 8, 56, 24, 32, 36, 96, 60, 96, 0x10, 0x18, 0x20, 0x40, 0x50},
};

// The row of the architecture this test program was built for.
const RecordLayout& ThisLayout();

struct PassThroughFields {
    std::uint8_t pathId = 0, targetId = 0, cdbLength = 0, senseInfoLength = 0, dataIn = 0;
    std::uint32_t dataLength = 0, timeout = 0;
    std::uint64_t dataBuffer = 0;
    std::array<std::uint8_t, 16> cdb{};
};

// The SCSI_PASS_THROUGH_DIRECT part: Length is the record's size and the
// sense data goes right behind the filler that follows it.
Bytes PassThroughRecord(const RecordLayout& layout, const PassThroughFields& fields);

struct ExecFields {
    std::uint8_t haId = 0, flags = 0, target = 0, senseLength = 0, cdbLength = 0;
    std::uint32_t bufLength = 0;
    std::uint64_t bufPointer = 0, postProc = 0;
    std::array<std::uint8_t, 16> cdb{};
};

// SRB_ExecSCSICmd as sent: status pending, sense area empty.
Bytes ExecRecord(const RecordLayout& layout, const ExecFields& fields);

// The little-endian value of `size` bytes at `at`.
std::uint64_t ReadLe(const Bytes& bytes, std::size_t at, std::size_t size);
